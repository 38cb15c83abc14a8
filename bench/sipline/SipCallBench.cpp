// One-page fax calls between two tolvane-sipmodem processes on loopback at
// real time, driven by tolvane-fax: the call time (dial to the sender's
// end) and the processor time of both modems, over T.38 and over G.711,
// beside the same page between two spandsp terminals over the same
// loopback path; and trials of many calls through a relay that loses media
// packets at random, counting the calls whose page arrived whole.

#include "ReferenceCall.h"
#include "SipCallRig.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>

using namespace sipcall;

namespace {

std::vector<std::string> answererFor(bool t38) {
  return t38 ? std::vector<std::string>{} : std::vector<std::string>{"--no-t38"};
}

// Both modems with error correction on T.38 calls, or kept off it.
std::vector<std::string> ecmArgs(bool ecm) {
  return ecm ? std::vector<std::string>{} : std::vector<std::string>{"--no-t38-ecm"};
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// range(0): T.38 (1) or G.711 (0); range(1): error correction on T.38 (1)
// or kept off (0).
void BM_OnePageCall(benchmark::State& state) {
  const bool t38 = state.range(0) == 1;
  const bool ecm = state.range(1) == 1;
  double seconds = 0, cpu = 0;
  int whole = 0, calls = 0;
  for (auto _ : state) {
    SipCallRig rig;
    if (!rig.startModems(ecmArgs(ecm), plus(answererFor(t38), ecmArgs(ecm))).empty()) {
      state.SkipWithError("the modems did not start");
      return;
    }
    CallResult r = rig.faxOnePage(true);
    if (!r.ok())
      std::fprintf(stderr, "call failed: send %d, receive %d, page: %s\n", r.sendStatus,
                   r.receiveStatus, r.pageDifference.c_str());
    ++calls;
    whole += r.ok();
    seconds += r.seconds;
    cpu += r.modemCpuSeconds;
    state.SetIterationTime(r.seconds);
  }
  state.counters["call_s"] = seconds / calls;
  state.counters["modem_cpu_s"] = cpu / calls;
  state.counters["whole_pages"] = whole;
  state.SetLabel(std::string(t38 ? "T.38" : "G.711") + ", fine page" +
                 (t38 && !ecm ? ", without ECM" : ""));
}
BENCHMARK(BM_OnePageCall)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The same fine page (exported by tolvane-fax from the same letter) between
// two spandsp terminals.
void BM_ReferenceCall(benchmark::State& state) {
  const bool t38 = state.range(0) == 1;
  interop::TempDir dir;
  {
    std::ofstream text(dir / "doc.txt");
    for (int line = 1; line <= 10; ++line)
      text << "Line " << line << " of a letter over SIP: 0123456789 ABCDEFGHIJ\n";
  }
  const std::string tool = interop::tolvaneFaxPath();
  const std::string command = tool + " convert '" + (dir / "doc.txt") + "' '" + (dir / "doc.apf") +
                              "' --fine > /dev/null && " + tool + " export '" + (dir / "doc.apf") +
                              "' '" + (dir / "doc.tif") + "' > /dev/null";
  if (std::system(command.c_str()) != 0) {
    state.SkipWithError("no page to send");
    return;
  }
  ReferenceResult r;
  for (auto _ : state) {
    r = spandspReferenceCall(dir / "doc.tif", dir / "rx.tif", t38);
    state.SetIterationTime(r.seconds);
  }
  state.counters["call_s"] = r.seconds;
  state.counters["cpu_s"] = r.cpuSeconds;
  state.counters["whole_pages"] = r.ok;
  state.SetLabel(t38 ? "spandsp to spandsp, T.38" : "spandsp to spandsp, G.711");
}
BENCHMARK(BM_ReferenceCall)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// range(0): T.38 (1) or G.711 (0); range(1): loss in tenths of a percent;
// range(2): calls; range(3): error correction on T.38 (1) or kept off (0).
void BM_CallsThroughLoss(benchmark::State& state) {
  const bool t38 = state.range(0) == 1;
  const double loss = double(state.range(1)) / 1000.0;
  const int calls = static_cast<int>(state.range(2));
  const bool ecm = state.range(3) == 1;
  int whole = 0, done = 0;
  long dropped = 0;
  double seconds = 0;
  for (auto _ : state) {
    for (int seed = 1; seed <= calls; ++seed) {
      SipCallRig rig;
      if (!rig.startModems(ecmArgs(ecm), plus(answererFor(t38), ecmArgs(ecm)), loss,
                           static_cast<uint32_t>(seed))
               .empty())
        continue;
      CallResult r = rig.faxOnePage(false);
      ++done;
      whole += r.ok();
      seconds += r.seconds;
      dropped += rig.relay().mediaDropped();
    }
  }
  state.counters["calls"] = done;
  state.counters["whole_pages"] = whole;
  state.counters["call_s"] = done ? seconds / done : 0;
  state.counters["dropped_packets"] = double(dropped);
  state.SetLabel(std::string(t38 ? "T.38" : "G.711") + " at " + std::to_string(loss * 100) +
                 " % loss" + (t38 && !ecm ? ", without ECM" : ""));
}
BENCHMARK(BM_CallsThroughLoss)
    ->Args({1, 100, 20, 1})
    ->Args({1, 100, 20, 0})
    ->Args({0, 1, 10, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
