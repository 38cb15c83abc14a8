// Page coders on the eight ITU charts (1728 x 2376, fine), ours against
// libtiff in the same run, in rows per second. The first argument is the
// coding (0 MH, 1 MR with k = 4, 2 MMR), the second the chart.
//   PageEncode/*  - bitmap into coded page (libtiff: a TIFF in memory).
//   PageDecode/*  - libtiff's coded page back into rows (libtiff: read from
//                   the same TIFF in memory).
#include "CodecTestSupport.h"
#include "MemoryTiff.h"

#include "faximage/PageDecoder.h"
#include "faximage/PageEncoder.h"

#include <benchmark/benchmark.h>

#include <map>

using namespace faximage;

namespace {

struct Chart {
  PageBitmap page;
  std::vector<uint8_t> coded[3]; // libtiff's coding, by coding
  memtiff::MemoryTiff tiff[3];   // the same as TIFFs
};

FaxCoding codingOf(const benchmark::State& state) {
  return FaxCoding(state.range(0));
}

int compressionOf(FaxCoding c) {
  return c == FaxCoding::Mmr ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3;
}

uint32_t g3OptionsOf(FaxCoding c) {
  return c == FaxCoding::Mr ? GROUP3OPT_2DENCODING : 0;
}

const Chart& chart(int n) {
  static std::map<int, Chart> charts;
  auto it = charts.find(n);
  if (it != charts.end())
    return it->second;
  Chart& c = charts[n];
  c.page = codectest::chart(n);
  for (int i = 0; i < 3; ++i) {
    const FaxCoding coding = FaxCoding(i);
    c.coded[i] = codectest::libtiffEncode(c.page, coding);
    TIFF* t = memtiff::openMemoryTiff(c.tiff[i], "w");
    memtiff::setFaxFields(t, c.page.width(), c.page.height(), compressionOf(coding),
                          g3OptionsOf(coding));
    TIFFWriteRawStrip(t, 0, c.coded[i].data(), tmsize_t(c.coded[i].size()));
    TIFFClose(t);
  }
  return c;
}

void rowsPerSecond(benchmark::State& state, int rows) {
  state.counters["rows/s"] =
      benchmark::Counter(double(rows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void PageEncode_Ours(benchmark::State& state) {
  const Chart& c = chart(int(state.range(1)));
  const CodingOptions options{codingOf(state), 4, 0};
  for (auto _ : state) {
    auto coded = encodePage(c.page, options);
    benchmark::DoNotOptimize(coded.data());
  }
  rowsPerSecond(state, c.page.height());
}

void PageEncode_Libtiff(benchmark::State& state) {
  const Chart& c = chart(int(state.range(1)));
  const FaxCoding coding = codingOf(state);
  std::vector<uint8_t> row(c.page.stride());
  memtiff::MemoryTiff m;
  m.bytes.reserve(1 << 20);
  for (auto _ : state) {
    m.bytes.clear();
    TIFF* t = memtiff::openMemoryTiff(m, "w");
    memtiff::setFaxFields(t, c.page.width(), c.page.height(), compressionOf(coding),
                          g3OptionsOf(coding));
    for (int y = 0; y < c.page.height(); ++y) {
      std::copy(c.page.row(y), c.page.row(y) + row.size(), row.begin()); // libtiff may change it
      TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    benchmark::DoNotOptimize(m.bytes.data());
  }
  rowsPerSecond(state, c.page.height());
}

void PageDecode_Ours(benchmark::State& state) {
  const Chart& c = chart(int(state.range(1)));
  const FaxCoding coding = codingOf(state);
  const std::vector<uint8_t>& coded = c.coded[int(coding)];
  for (auto _ : state) {
    const DecodedPage d = decodePage(coded.data(), coded.size(), coding, c.page.width());
    if (d.page.height() != c.page.height() || d.badRows != 0)
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(d.page.bits().data());
  }
  rowsPerSecond(state, c.page.height());
}

void PageDecode_Libtiff(benchmark::State& state) {
  Chart& c = const_cast<Chart&>(chart(int(state.range(1))));
  memtiff::MemoryTiff& tiff = c.tiff[state.range(0)];
  std::vector<uint8_t> row(c.page.stride());
  for (auto _ : state) {
    TIFF* t = memtiff::openMemoryTiff(tiff, "r");
    for (int y = 0; y < c.page.height(); ++y)
      if (TIFFReadScanline(t, row.data(), uint32_t(y), 0) < 0)
        state.SkipWithError("libtiff failed");
    TIFFClose(t);
    benchmark::DoNotOptimize(row.data());
  }
  rowsPerSecond(state, c.page.height());
}

const std::vector<int64_t> kCodings{0, 1, 2};
const std::vector<int64_t> kCharts{1, 2, 3, 4, 5, 6, 7, 8};

} // namespace

BENCHMARK(PageEncode_Ours)->ArgsProduct({kCodings, kCharts})->Unit(benchmark::kMillisecond);
BENCHMARK(PageEncode_Libtiff)->ArgsProduct({kCodings, kCharts})->Unit(benchmark::kMillisecond);
BENCHMARK(PageDecode_Ours)->ArgsProduct({kCodings, kCharts})->Unit(benchmark::kMillisecond);
BENCHMARK(PageDecode_Libtiff)->ArgsProduct({kCodings, kCharts})->Unit(benchmark::kMillisecond);
