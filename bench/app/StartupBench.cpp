// Process start to main window shown (the program says "shown" on its
// standard output from the event loop once the window is up), with 10,000 Sent and 10,000 Received
// records, against a bare Qt window started the same way (offscreen, a new
// process each time, ended as soon as its window is up).

#include "core/FaxTables.h"
#include "core/IniFile.h"
#include "xbase/Table.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRecords = 10000;

std::string fullDataDir() {
  static const std::string dir = [] {
    std::string d = std::filesystem::temp_directory_path().string() + "/tolvane-bench-startup-" +
                    std::to_string(getpid()) + "/";
    std::filesystem::create_directories(d + "receive");
    xbase::TableEnv::setDeleted(true);
    xbase::Table sent, received;
    app::OpenTable(app::SentTable, sent, d);
    app::OpenTable(app::ReceivedTable, received, d);
    char date[9], time[6];
    for (int i = 0; i < kRecords; ++i) {
      std::snprintf(date, sizeof date, "20%02d%02d%02d", 10 + i / 336 % 15, 1 + i / 28 % 12,
                    1 + i % 28);
      std::snprintf(time, sizeof time, "%02d:%02d", i % 24, i % 60);
      sent.append();
      sent.setField("SUBJECT", "Benchmark fax number " + std::to_string(i));
      sent.setLogical("SENT", i % 5 != 0);
      if (i % 5 != 0) {
        sent.setDate("DATESENT", date);
        sent.setField("TIMESENT", time);
      }
      sent.setField("RECIPIENT", "Recipient " + std::to_string(i % 97));
      sent.setField("PHONE", "555" + std::to_string(1000 + i % 9000));
      sent.setNumber("PAGES", 1 + i % 9);
      sent.setMemo("RTFDOC", "{\\rtf1\\ansi Benchmark fax}");
      sent.post();
      received.append();
      received.setDate("DATEREC", date);
      received.setField("TIMEREC", time);
      received.setField("FROM", "STATION " + std::to_string(i % 113));
      received.setNumber("PAGES", 1 + i % 4);
      received.setField("FAXFILE", "FAX0001.APF");
      received.post();
    }
    sent.close();
    received.close();
    app::IniFile(d + "TOV.INI").WriteInteger("Modem", "ComPort", 0);
    return d;
  }();
  return dir;
}

// Mean time to the window of the bare Qt program, measured first, so that
// the program's runs can report how many times as long they take.
double bareWindowSeconds = 0;

// Starts the program and returns once it reports its window shown (its
// "shown" line); the program's ending is not timed. Adds the time from
// start to window to *elapsed.
void runUntilShown(benchmark::State& state, const char* program,
                   const std::vector<std::string>& args, double* elapsed) {
  int out[2];
  if (pipe(out) != 0)
    return state.SkipWithError("pipe");
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TOLVANE_QUIT_WHEN_SHOWN", "1", 1);
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    if (!freopen("/dev/null", "w", stderr))
      _exit(126);
    execv(program, argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string said;
  char buffer[64];
  ssize_t n;
  while (said.find("shown") == std::string::npos && (n = read(out[0], buffer, sizeof buffer)) > 0)
    said.append(buffer, size_t(n));
  *elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  state.PauseTiming();
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (said.find("shown") == std::string::npos)
    state.SkipWithError("the program ended without showing its window");
  state.ResumeTiming();
}

void BM_BareQtWindowStart(benchmark::State& state) {
  double elapsed = 0;
  for (auto _ : state)
    runUntilShown(state, BARE_WINDOW_EXE, {}, &elapsed);
  bareWindowSeconds = elapsed / double(state.iterations());
}
BENCHMARK(BM_BareQtWindowStart)->Unit(benchmark::kMillisecond)->Iterations(20);

void reportAgainstBare(benchmark::State& state, double elapsed) {
  if (bareWindowSeconds > 0)
    state.counters["x_bare_window"] = elapsed / double(state.iterations()) / bareWindowSeconds;
}

void BM_TolvaneStartFullTables(benchmark::State& state) {
  const std::string dir = fullDataDir();
  double elapsed = 0;
  for (auto _ : state)
    runUntilShown(state, TOLVANE_EXE, {"--data-dir", dir}, &elapsed);
  state.counters["records"] = 2 * kRecords;
  reportAgainstBare(state, elapsed);
}
BENCHMARK(BM_TolvaneStartFullTables)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same program with empty tables: what the 20,000 records add.
void BM_TolvaneStartEmptyTables(benchmark::State& state) {
  static const std::string dir = [] {
    std::string d = std::filesystem::temp_directory_path().string() + "/tolvane-bench-empty-" +
                    std::to_string(getpid()) + "/";
    std::filesystem::create_directories(d);
    app::IniFile(d + "TOV.INI").WriteInteger("Modem", "ComPort", 0);
    return d;
  }();
  double elapsed = 0;
  for (auto _ : state)
    runUntilShown(state, TOLVANE_EXE, {"--data-dir", dir}, &elapsed);
  reportAgainstBare(state, elapsed);
}
BENCHMARK(BM_TolvaneStartEmptyTables)->Unit(benchmark::kMillisecond)->Iterations(20);

// The bare window again after the program's runs: a machine that got busier
// during the run shows here.
BENCHMARK(BM_BareQtWindowStart)->Name("BM_BareQtWindowStartAgain")->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
