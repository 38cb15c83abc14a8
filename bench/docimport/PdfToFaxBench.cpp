// Pages per second from a ten-page PDF to fax pages: ours (drawn by poppler,
// halftoned, coded into an APF file, in a child process as the command line
// does it) and Ghostscript's tiffg3 device, which fax servers use for this
// job, at the same fine fax resolution.

#include "docimport/DocumentImport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const std::string kPdf = std::string(TOLVANE_TEST_DATA) + "/docimport/tenpages.pdf";
constexpr int kPages = 10;

// Processor seconds of this process (all its threads) and of its finished
// children: the child that decodes, and Ghostscript.
double cpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    ::getrusage(who, &u);
    total += double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
             double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

// Wall pages per second, and processor seconds per ten pages counted over
// every thread and child process the run used.
void report(benchmark::State& state, double cpuStart) {
  const double runs = double(state.iterations());
  state.counters["pages_per_s"] = benchmark::Counter(runs * kPages, benchmark::Counter::kIsRate);
  state.counters["cpu_s_per_10_pages"] = (cpuSeconds() - cpuStart) / runs * (10.0 / kPages);
}

std::string scratch(const char* name) {
  return "/tmp/bench-docimport-" + std::to_string(::getpid()) + "-" + name;
}

void BM_Tolvane_PdfToApf(benchmark::State& state) {
  const std::string out = scratch("out.apf");
  const double cpu = cpuSeconds();
  for (auto _ : state) {
    const int pages = docimport::convertDocument(kPdf, out, {}, {}, "BENCH");
    if (pages != kPages)
      state.SkipWithError("wrong page count");
  }
  report(state, cpu);
  std::remove(out.c_str());
}

// The same pages without the child process: drawing, halftoning and nothing
// else, to show what the isolation costs; with the automatic halftone (0)
// and with the plain threshold (1), to show what finding photographs costs.
void BM_Tolvane_PdfPagesInProcess(benchmark::State& state) {
  docimport::ImportOptions options;
  options.halftone = state.range(0) ? docimport::Halftone::Threshold : docimport::Halftone::Auto;
  const double cpu = cpuSeconds();
  for (auto _ : state) {
    int pages = 0;
    docimport::importPages(kPdf, options, [&](docimport::FaxPage&& page) {
      benchmark::DoNotOptimize(page.bitmap.bits().data());
      ++pages;
    });
    if (pages != kPages)
      state.SkipWithError("wrong page count");
  }
  report(state, cpu);
}

void BM_Ghostscript_Tiffg3(benchmark::State& state) {
  const std::string out = scratch("gs.tif");
  const std::string cmd = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=tiffg3 -r204x196 "
                          "-sOutputFile='" +
                          out + "' '" + kPdf + "' >/dev/null 2>&1";
  const double cpu = cpuSeconds();
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0)
      state.SkipWithError("gs (ghostscript) failed or is not installed");
  report(state, cpu);
  std::remove(out.c_str());
}

} // namespace

BENCHMARK(BM_Tolvane_PdfToApf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Tolvane_PdfPagesInProcess)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_Ghostscript_Tiffg3)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
