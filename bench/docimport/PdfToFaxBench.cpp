// Pages per second from a ten-page PDF to fax pages: ours (drawn by poppler,
// halftoned, coded into an APF file, in a child process as the command line
// does it) and Ghostscript's tiffg3 device, which fax servers use for this
// job, at the same fine fax resolution.

#include "docimport/DocumentImport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string kPdf = std::string(TOLVANE_TEST_DATA) + "/docimport/tenpages.pdf";
constexpr int kPages = 10;

std::string scratch(const char* name) {
  return "/tmp/bench-docimport-" + std::to_string(::getpid()) + "-" + name;
}

void BM_Tolvane_PdfToApf(benchmark::State& state) {
  const std::string out = scratch("out.apf");
  for (auto _ : state) {
    const int pages = docimport::convertDocument(kPdf, out, {}, {}, "BENCH");
    if (pages != kPages)
      state.SkipWithError("wrong page count");
  }
  std::remove(out.c_str());
  state.SetItemsProcessed(int64_t(state.iterations()) * kPages);
  state.counters["pages_per_s"] =
      benchmark::Counter(double(state.iterations()) * kPages, benchmark::Counter::kIsRate);
}

// The same pages without the child process: drawing, halftoning and nothing
// else, to show what the isolation costs.
void BM_Tolvane_PdfPagesInProcess(benchmark::State& state) {
  for (auto _ : state) {
    int pages = 0;
    docimport::importPages(kPdf, {}, [&](docimport::FaxPage&& page) {
      benchmark::DoNotOptimize(page.bitmap.bits().data());
      ++pages;
    });
    if (pages != kPages)
      state.SkipWithError("wrong page count");
  }
  state.counters["pages_per_s"] =
      benchmark::Counter(double(state.iterations()) * kPages, benchmark::Counter::kIsRate);
}

void BM_Ghostscript_Tiffg3(benchmark::State& state) {
  const std::string out = scratch("gs.tif");
  const std::string cmd = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=tiffg3 -r204x196 "
                          "-sOutputFile='" +
                          out + "' '" + kPdf + "' >/dev/null 2>&1";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0)
      state.SkipWithError("gs (ghostscript) failed or is not installed");
  std::remove(out.c_str());
  state.counters["pages_per_s"] =
      benchmark::Counter(double(state.iterations()) * kPages, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_Tolvane_PdfToApf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Tolvane_PdfPagesInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Ghostscript_Tiffg3)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
