// Sending three pages at 14400 bit/s to a remote fax machine over the
// simulated line at real time: tolvane-fax against efax on the same pages
// and the same line, in Classes 1, 2 and 2.0. Besides the time per page
// (program start to exit), each run reports the line time of its call
// (dial to the remote's end of call, from the simulator's log) and the
// line-time limit: the pages' coded bytes at the bit rate plus the T.30
// exchanges around them.

#include "InteropHarness.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

using namespace interop;
namespace fs = std::filesystem;

namespace {

constexpr int kPages = 3;
constexpr double kBitRate = 14400.0;
// Line time outside the page data, measured on this simulator at real time
// from the timestamps of the modem's answers to both programs (the same in
// every class): after the remote answers, its CSI and DIS end 4.95 s later;
// DCS, the training check and CFR take 6.2 s more; each post-page message
// with its answer takes 2.4 s; DCN 1.1 s. Ringing (dial to answer) is taken
// from each run's simulator log.
constexpr double kPhaseBSeconds = 4.95 + 6.2;
constexpr double kPostPageSeconds = 2.4;
constexpr double kDcnSeconds = 1.1;

double lineLimitPerPage(long codedBytes, double ringSeconds) {
  const double data = double(codedBytes) * 8.0 / kBitRate;
  return (ringSeconds + kPhaseBSeconds + data + kPostPageSeconds * kPages + kDcnSeconds) / kPages;
}

// Line-time stamp of the first simulator log line containing `what`, or -1.
double simStamp(const std::string& log, const std::string& what) {
  const std::regex line("\\[ *([0-9.]+)\\] [^\n]*" + what);
  std::smatch m;
  return std::regex_search(log, m, line) ? std::stod(m[1].str()) : -1.0;
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

// The pages' coded bytes: the same for both programs, from the TIFF pages.
long codedBytes() {
  long bytes = 0;
  for (const auto& page : setup().pages)
    bytes += tiffCodedBytes(page);
  return bytes;
}

// One call through a fresh simulator; `argv` gets the link path for "@".
void runSend(benchmark::State& state, std::vector<std::string> argv) {
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
    const std::string log = sim.log();
    const double dial = simStamp(log, "dial "), answered = simStamp(log, "answered"),
                 ended = simStamp(log, "call ended");
    const long bytes = codedBytes();
    state.counters["s_per_page"] = seconds / kPages;
    state.counters["line_s_per_page"] = (ended - dial) / kPages;
    state.counters["limit_s_per_page"] = lineLimitPerPage(bytes, answered - dial);
    state.counters["coded_bytes"] = double(bytes);
  }
}

void BM_TolvaneSend(benchmark::State& state, const char* faxClass) {
  runSend(state,
          {tolvaneFaxPath(), "send", "@", "5550100", setup().apf, "--class", faxClass, "--speed",
           "14400", "--station", "TOLVANE", "--attempts", "1", "--timeout", "500"});
}

void BM_EfaxSend(benchmark::State& state, const char* efaxClass) {
  std::vector<std::string> argv = {"efax", "-d",   "@",  std::string("-o") + efaxClass,
                                   "-l",   "EFAX", "-t", "5550100"};
  for (const auto& page : setup().pages)
    argv.push_back(page);
  runSend(state, argv);
}

} // namespace

#define FAX_SEND_BENCH(fn, name, cls)                                                              \
  BENCHMARK_CAPTURE(fn, name, cls)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond)

FAX_SEND_BENCH(BM_TolvaneSend, Class1, "1");
FAX_SEND_BENCH(BM_EfaxSend, Class1, "1");
FAX_SEND_BENCH(BM_TolvaneSend, Class2, "2");
FAX_SEND_BENCH(BM_EfaxSend, Class2, "2");
FAX_SEND_BENCH(BM_TolvaneSend, Class2_0, "2.0");
FAX_SEND_BENCH(BM_EfaxSend, Class2_0, "0");

BENCHMARK_MAIN();
