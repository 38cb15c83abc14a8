// Processor time per page of a real-time Class 1 call at 14400 bit/s through
// the simulated modem: tolvane-fax sending three pages, efax sending the same
// pages over the same line, and tolvane-fax receiving three pages from the
// remote fax machine. The processor time is the user and system time of the
// fax program's process (its threads included), taken from the kernel's
// accounting of reaped children; the wall time per page is reported beside
// it so that a cut in processor time can be seen not to cost line time.

#include "InteropHarness.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

using namespace interop;
namespace fs = std::filesystem;

namespace {

constexpr int kPages = 3;
constexpr int kLinesPerPage = 60;

double childCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runQuiet(const std::string& command) {
  if (std::system((command + " > /dev/null").c_str()) != 0)
    std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// Three full pages of dense text converted by tolvane-fax (each about
// twenty seconds of line time: much more than the modem and the
// pseudo-terminal hold, so the output queue fills and drains as on a real
// line), and the same pages as G3 TIFF files (for efax) and as one
// three-page TIFF (for the remote machine).
struct Pages {
  TempDir dir;
  std::vector<std::string> tiffs;
  std::string apf, multi;
  Pages() {
    const std::string text = dir / "letter.txt";
    {
      std::ofstream out(text);
      for (int line = 1; line <= kLinesPerPage * kPages; ++line)
        out << "Line " << line << " of the processor-time letter: THE QUICK BROWN FOX jumps "
            << "over the lazy dog 0123456789 #$%&*+=<>\n";
    }
    apf = dir / "doc.apf";
    runQuiet(tolvaneFaxPath() + " convert '" + text + "' '" + apf + "' --lines-per-page " +
             std::to_string(kLinesPerPage));
    for (int p = 1; p <= kPages; ++p) {
      tiffs.push_back(dir / ("p" + std::to_string(p) + ".tif"));
      runQuiet(tolvaneFaxPath() + " export '" + apf + "' '" + tiffs.back() +
               "' --format tiff --as-coded --page " + std::to_string(p));
    }
    multi = dir / "all.tif";
    std::string cmd = "tiffcp";
    for (const auto& t : tiffs)
      cmd += " '" + t + "'";
    runQuiet(cmd + " '" + multi + "'");
  }
};

Pages& pages() {
  static Pages p;
  return p;
}

// One real-time call through a fresh Class 1 simulator. `argv` gets the
// link path for "@" and the call's folder for "%". `received` names the
// file whose pages show that the call went through.
void runCall(benchmark::State& state, std::vector<std::string> argv,
             const std::vector<std::string>& simArgs, const std::string& received,
             bool tolvaneReceived) {
  for (auto _ : state) {
    TempDir dir;
    const std::string link = dir / ("c" + fs::path(dir.path()).filename().string());
    std::vector<std::string> args = {"--speed", "1", "--modem", "com1 model=class1 link=" + link};
    for (std::string a : simArgs) {
      for (size_t at; (at = a.find('%')) != std::string::npos;)
        a.replace(at, 1, dir.path());
      args.push_back(a);
    }
    Simulator sim(dir, args);
    if (!sim.started()) {
      state.SkipWithError("simulator did not start");
      return;
    }
    for (auto& a : argv) {
      if (a == "@")
        a = link;
      else if (a == "%")
        a = dir.path();
    }
    const double cpuBefore = childCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Child call(argv, dir / "call.log");
    const int status = call.wait(400);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = childCpuSeconds() - cpuBefore;
    state.SetIterationTime(cpu / kPages);
    size_t got = 0;
    if (tolvaneReceived) {
      for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().extension() == ".APF" || e.path().extension() == ".apf")
          got = apfPageBytes(e.path().string()).size();
    } else {
      got = tiffPages(dir / received).size();
    }
    if (status != 0 || got != kPages) {
      state.SkipWithError(("call failed: " + call.log() + "\n" + sim.log()).c_str());
      return;
    }
    state.counters["cpu_s_per_page"] = cpu / kPages;
    state.counters["wall_s_per_page"] = wall / kPages;
  }
}

const std::vector<std::string> kRemote = {"--number", "5550100 fax ring=1 ident=REMOTE dir=%"};

void BM_TolvaneSendCpu(benchmark::State& state) {
  runCall(state,
          {tolvaneFaxPath(), "send", "@", "5550100", pages().apf, "--class", "1", "--speed",
           "14400", "--station", "TOLVANE", "--attempts", "1", "--timeout", "300"},
          kRemote, "5550100-1.tif", false);
}

void BM_EfaxSendCpu(benchmark::State& state) {
  std::vector<std::string> argv = {"efax", "-d", "@", "-o1", "-l", "EFAX", "-t", "5550100"};
  argv.insert(argv.end(), pages().tiffs.begin(), pages().tiffs.end());
  runCall(state, argv, kRemote, "5550100-1.tif", false);
}

void BM_TolvaneReceiveCpu(benchmark::State& state) {
  runCall(
      state,
      {tolvaneFaxPath(), "receive", "@", "%", "--class", "1", "--speed", "14400", "--station",
       "TOLVANE", "--one", "--timeout", "300"},
      {"--number", "5550200 fax ident=REMOTE file=" + pages().multi, "--call", "5550200 com1 at=3"},
      "", true);
}

} // namespace

#define FAX_CPU_BENCH(fn)                                                                          \
  BENCHMARK(fn)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond)

FAX_CPU_BENCH(BM_TolvaneSendCpu);
FAX_CPU_BENCH(BM_EfaxSendCpu);
FAX_CPU_BENCH(BM_TolvaneReceiveCpu);

BENCHMARK_MAIN();
