// MH coding speed on the eight ITU charts (1728 x 2376, fine), ours against
// libtiff in the same run, in rows per second:
//   Encode/*  - raster rows into coded rows (our encoder, libtiff's G3 1-D).
//   Decode/*  - coded page back into raster rows: our unpacker engine on an
//               APF file (tree walker and table-driven decoder) and libtiff
//               reading the same coded data from a TIFF in memory.
#include "DecTestSupport.h"
#include "MemoryTiff.h"

#include "faximage/MhEncoder.h"
#include "faximage/UnpackerEngine.h"

#include <benchmark/benchmark.h>

#include <map>

using namespace faximage;

namespace {

struct Chart {
  dectest::Raster raster;
  std::vector<uint8_t> coded; // libtiff's G3 1-D stream followed by RTC
  std::string apfPath;
  memtiff::MemoryTiff tiff; // the same coded rows as a one-strip TIFF
};

Chart& chart(int n) {
  static std::map<int, Chart> charts;
  auto it = charts.find(n);
  if (it != charts.end())
    return it->second;
  Chart& c = charts[n];
  c.raster = dectest::loadPbmGz(dectest::ituChart(n));
  c.coded = dectest::libtiffG3(c.raster, false);
  c.apfPath = dectest::tempPath("bench" + std::to_string(n) + ".apf");
  dectest::writeFile(c.apfPath, dectest::apfFile({{c.coded, 1}}));
  TIFF* t = memtiff::openMemoryTiff(c.tiff, "w");
  memtiff::setFaxFields(t, c.raster.width, c.raster.height);
  for (int y = 0; y < c.raster.height; ++y)
    TIFFWriteScanline(t, const_cast<uint8_t*>(c.raster.row(y)), uint32_t(y), 0);
  TIFFClose(t);
  return c;
}

void rowsPerSecond(benchmark::State& state, int rows) {
  state.counters["rows/s"] =
      benchmark::Counter(double(rows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void Encode_Ours(benchmark::State& state) {
  const Chart& c = chart(int(state.range(0)));
  std::vector<uint8_t> out(kMaxRowRecord);
  const RowLayout layout{1728, 0, false};
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (int y = 0; y < c.raster.height; ++y)
      bytes += encodeRowRecord(c.raster.row(y), layout, out.data());
    benchmark::DoNotOptimize(bytes);
  }
  rowsPerSecond(state, c.raster.height);
}

void Encode_Libtiff(benchmark::State& state) {
  const Chart& c = chart(int(state.range(0)));
  std::vector<uint8_t> row(c.raster.stride());
  memtiff::MemoryTiff m;
  m.bytes.reserve(1 << 20);
  for (auto _ : state) {
    m.bytes.clear();
    TIFF* t = memtiff::openMemoryTiff(m, "w");
    memtiff::setFaxFields(t, c.raster.width, c.raster.height);
    for (int y = 0; y < c.raster.height; ++y) {
      std::copy(c.raster.row(y), c.raster.row(y) + row.size(),
                row.begin()); // libtiff may modify it
      TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    benchmark::DoNotOptimize(m.bytes.data());
  }
  rowsPerSecond(state, c.raster.height);
}

void decodeOurs(benchmark::State& state, UnpackDecoder decoder) {
  const Chart& c = chart(int(state.range(0)));
  unsigned long rows = 0;
  UnpackerEngine engine([&](bool, bool, const uint8_t*, int, int) { ++rows; });
  engine.setDecoder(decoder);
  for (auto _ : state) {
    rows = 0;
    if (engine.unpackPage(c.apfPath, 1) != 0 || rows != unsigned(c.raster.height))
      state.SkipWithError("unpacking failed");
  }
  rowsPerSecond(state, c.raster.height);
}

void Decode_OursTreeWalk(benchmark::State& state) {
  decodeOurs(state, UnpackDecoder::TreeWalk);
}
void Decode_OursFast(benchmark::State& state) {
  decodeOurs(state, UnpackDecoder::Fast);
}

void Decode_Libtiff(benchmark::State& state) {
  Chart& c = chart(int(state.range(0)));
  std::vector<uint8_t> row(c.raster.stride());
  for (auto _ : state) {
    TIFF* t = memtiff::openMemoryTiff(c.tiff, "r");
    for (int y = 0; y < c.raster.height; ++y)
      if (TIFFReadScanline(t, row.data(), uint32_t(y), 0) < 0)
        state.SkipWithError("libtiff failed");
    TIFFClose(t);
    benchmark::DoNotOptimize(row.data());
  }
  rowsPerSecond(state, c.raster.height);
}

} // namespace

BENCHMARK(Encode_Ours)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(Encode_Libtiff)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_OursTreeWalk)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_OursFast)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_Libtiff)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
