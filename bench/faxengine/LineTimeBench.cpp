// Line time of a page: each ITU chart at fine resolution sent by our Class 1
// engine to spandsp's remote fax machine through the simulator, in MH, in
// MR and in MMR with error correction, at 14400 bit/s. The time is line time, from
// the remote's answer to the end of its call (the simulator's clock, so the
// line may run faster than the wall clock), reported as the benchmark's
// time. The counters give the page's coded size and the physical limit:
// coded bits / bit rate plus the T.30 exchanges of a call whose page takes
// no time (measured with a blank page, less its rows).

#include "CodecTestSupport.h"
#include "FaxSimHarness.h"

#include "faxengine/TFxSendFax.h"
#include "faximage/ApfFile.h"
#include "faximage/ApfWriter.h"
#include "faximage/PageEncoder.h"
#include "serial/TFxComPort.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <regex>

using namespace faximage;

namespace {

constexpr int kLineSpeed = 2; // Class 1's own waits allow no more
constexpr int kBps = 14400;

// An APF file of one fine page.
std::string WriteApf(const std::string& dir, const PageBitmap& page) {
  const std::string path = dir + "/chart.apf";
  const std::vector<uint8_t> mh = encodePage(page, {FaxCoding::Mh, 1, 0});
  ApfWriter w;
  w.create(path);
  w.writePlainPage(PageFlagFine, mh.data(), mh.size());
  w.finish("BENCH", 0);
  return path;
}

// Seconds of line time between two events of the simulator's log.
double LineSeconds(const std::string& log) {
  const std::regex answered(R"(\[ *([0-9.]+)\] call to \S+ answered)");
  const std::regex ended(R"(\[ *([0-9.]+)\] remote \S+: call ended: OK)");
  std::smatch a, e;
  if (!std::regex_search(log, a, answered) || !std::regex_search(log, e, ended))
    return -1;
  return std::stod(e[1]) - std::stod(a[1]);
}

enum Mode { kMh, kMr, kMmrEcm };

const char* RemoteOptions(Mode mode) {
  return mode == kMh ? " coding=mh" : mode == kMr ? " coding=mr" : " ecm=1 coding=mmr";
}

CodingOptions LineCoding(Mode mode) {
  if (mode == kMmrEcm)
    return {FaxCoding::Mmr, 4, 0};
  return {mode == kMr ? FaxCoding::Mr : FaxCoding::Mh, 4, 0};
}

// One call: the line time, or -1 when it failed.
double SendPage(const PageBitmap& page, Mode mode) {
  faxtest::SimModem sim(
      "class1", {"--number", std::string("5551234 fax ring=1 dir=@DIR@/RX") + RemoteOptions(mode)},
      kLineSpeed);
  if (!sim.Started())
    return -1;
  std::filesystem::create_directory(sim.Dir() + "/RX");
  const std::string apf = WriteApf(sim.Dir(), page);
  TFxComPort port;
  TFxSendFax fax;
  fax.SetFaxClass(fcClass1);
  fax.SetDesiredBPS(kBps);
  fax.SetDesiredECM(mode == kMmrEcm);
  fax.SetDialAttempts(1);
  fax.SetPhoneNumber("5551234");
  fax.SetFaxFile(apf);
  const faxtest::CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 400);
  return out.finished && out.finishCode == 0 ? LineSeconds(sim.Log()) : -1;
}

// The T.30 exchanges of a one-page call: a blank page's line time less
// the time its coded rows take.
double Overhead(Mode mode) {
  static double times[3] = {0, 0, 0};
  double& t = times[mode];
  if (t == 0) {
    const PageBitmap blank(1728, 2376);
    const double rows = double(encodePage(blank, LineCoding(mode)).size()) * 8 / kBps;
    t = SendPage(blank, mode) - rows;
  }
  return t;
}

void LineTime(benchmark::State& state) {
  const Mode mode = static_cast<Mode>(state.range(0));
  const PageBitmap page = codectest::chart(static_cast<int>(state.range(1)));
  const std::vector<uint8_t> coded = encodePage(page, LineCoding(mode));
  const double overhead = Overhead(mode);
  for (auto _ : state) {
    const double seconds = SendPage(page, mode);
    if (seconds < 0) {
      state.SkipWithError("the call failed");
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["coded_bytes"] = double(coded.size());
  state.counters["limit_s"] = double(coded.size()) * 8 / kBps + overhead;
  state.counters["overhead_s"] = overhead;
}

} // namespace

// Argument 0: 0 MH, 1 MR (both without ECM), 2 MMR with ECM; argument 1:
// the chart.
BENCHMARK(LineTime)
    ->ArgsProduct({{kMh, kMr, kMmrEcm}, {1, 2, 3, 4, 5, 6, 7, 8}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
