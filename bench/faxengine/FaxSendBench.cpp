// Sending three pages at 14400 bit/s to a remote fax machine over the
// simulated line at real time: tolvane-fax against efax on the same pages
// and the same line. Besides the time per page, each run reports the
// line-time limit: the coded page bytes at the bit rate plus the T.30
// exchanges around them.

#include "InteropHarness.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace interop;
namespace fs = std::filesystem;

namespace {

constexpr int kPages = 3;
constexpr double kBitRate = 14400.0;
// Line time outside the page data, measured on the simulated line: one
// second of ringing, phase B (answer tone, DIS, DCS, training check, CFR)
// of about 7 s, about 3 s per page for the post-page message and its answer,
// and the closing DCN.
constexpr double kRingSeconds = 1.0;
constexpr double kPhaseBSeconds = 7.0;
constexpr double kPostPageSeconds = 3.0;
constexpr double kDcnSeconds = 0.5;

double lineLimitPerPage(long codedBytes) {
  const double data = double(codedBytes) * 8.0 / kBitRate;
  return (data + kRingSeconds + kPhaseBSeconds + kPostPageSeconds * kPages + kDcnSeconds) / kPages;
}

// Three pages of text converted by tolvane-fax; efax gets each page as a G3
// TIFF exported from the same APF file, so both send the same rows.
struct Setup {
  TempDir dir;
  std::string pages[kPages];
  std::string apf;
  Setup() {
    const std::string text = dir / "letter.txt";
    {
      std::ofstream out(text);
      for (int line = 1; line <= 25 * kPages; ++line)
        out << "Line " << line << " of the benchmark letter: the quick brown fox 0123456789\n";
    }
    apf = dir / "doc.apf";
    run(tolvaneFaxPath() + " convert '" + text + "' '" + apf + "' --lines-per-page 25");
    for (int p = 0; p < kPages; ++p) {
      pages[p] = dir / ("p" + std::to_string(p + 1) + ".tif");
      run(tolvaneFaxPath() + " export '" + apf + "' '" + pages[p] +
          "' --format tiff --as-coded --page " + std::to_string(p + 1));
    }
  }
  static void run(const std::string& command) {
    if (std::system((command + " > /dev/null").c_str()) != 0)
      std::fprintf(stderr, "failed: %s\n", command.c_str());
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

// One call through a fresh simulator; `argv` gets the link path for "@".
void runSend(benchmark::State& state, std::vector<std::string> argv, long codedBytes) {
  for (auto _ : state) {
    TempDir dir;
    // Device lock files are named after the link's name: keep it unique.
    const std::string link = dir / ("a" + fs::path(dir.path()).filename().string());
    Simulator sim(dir, {"--speed", "1", "--modem", "com1 model=class120 link=" + link, "--number",
                        "5550100 fax ring=1 ident=REMOTE dir=" + dir.path()});
    if (!sim.started()) {
      state.SkipWithError("simulator did not start");
      return;
    }
    for (auto& a : argv)
      if (a == "@")
        a = link;
    const auto start = std::chrono::steady_clock::now();
    Child call(argv, dir / "call.log");
    const int status = call.wait(600);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    const auto received = tiffPages(dir / "5550100-1.tif");
    if (status != 0 || received.size() != kPages) {
      state.SkipWithError(("call failed: " + call.log()).c_str());
      return;
    }
    state.counters["s_per_page"] = seconds / kPages;
    state.counters["limit_s_per_page"] = lineLimitPerPage(codedBytes);
    state.counters["coded_bytes"] = double(codedBytes);
  }
}

void BM_TolvaneSend(benchmark::State& state, const char* faxClass) {
  long bytes = 0;
  for (long b : apfPageBytes(setup().apf))
    bytes += b;
  runSend(state,
          {tolvaneFaxPath(), "send", "@", "5550100", setup().apf, "--class", faxClass, "--speed",
           "14400", "--station", "TOLVANE", "--attempts", "1", "--timeout", "500"},
          bytes);
}

void BM_EfaxSend(benchmark::State& state, const char* efaxClass) {
  long bytes = 0;
  std::vector<std::string> argv = {"efax", "-d",   "@",  std::string("-o") + efaxClass,
                                   "-l",   "EFAX", "-t", "5550100"};
  for (const auto& page : setup().pages) {
    argv.push_back(page);
    bytes += tiffCodedBytes(page);
  }
  runSend(state, argv, bytes);
}

} // namespace

BENCHMARK_CAPTURE(BM_TolvaneSend, Class1, "1")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_EfaxSend, Class1, "1")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_TolvaneSend, Class2, "2")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_EfaxSend, Class2, "2")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
