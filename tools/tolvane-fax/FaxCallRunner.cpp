// Running a fax call from the command line.

#include "tools/tolvane-fax/FaxCallRunner.h"

#include "faxengine/TFxFaxLog.h"
#include "platform/FxErrors.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/TickClock.h"
#include "tools/tolvane-fax/CommandLine.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void onSignal(int) {
  g_interrupted = 1;
}

TFaxClass classFrom(const std::string& name) {
  if (name == "1")
    return fcClass1;
  if (name == "2")
    return fcClass2;
  if (name == "2.0" || name == "20")
    return fcClass2_0;
  if (name == "detect" || name.empty())
    return fcDetect;
  throw UsageError("--class is 1, 2, 2.0 or detect");
}

const char* codingName(faximage::FaxCoding coding) {
  switch (coding) {
  case faximage::FaxCoding::Mr:
    return "MR";
  case faximage::FaxCoding::Mmr:
    return "MMR";
  default:
    return "MH";
  }
}

} // namespace

void setUpFaxCall(const CommandLine& cl, const std::string& device, FaxCallSetup& setup,
                  TFxCustomAbstractFax& fax) {
  fax.SetFaxClass(classFrom(cl.value("class", "detect")));
  const long speed = cl.number("speed", 14400, 2400, 14400);
  fax.SetDesiredBPS(static_cast<uint16_t>(speed));
  // Error correction and two-dimensional coding are used whenever the
  // other side has them, unless the modem or line does not cope.
  fax.SetDesiredECM(!cl.has("no-ecm"));
  fax.SetDesired2D(!cl.has("no-2d"));
  fax.SetStationID(cl.value("station"));
  if (cl.has("init"))
    fax.SetModemInit(cl.value("init"));
  setup.port.SetDevicePath(device);
  fax.SetComPort(&setup.port);
  if (cl.has("trace")) {
    setup.port.SetTraceName(cl.value("trace"));
    setup.port.SetTraceSize(32000);
    setup.port.SetTraceHex(false);
  }
  setup.port.SetOpen(true);
  if (cl.has("trace"))
    setup.port.SetTracing(tlOn);
  setup.historyFile = cl.value("history");
}

int runFaxCall(TFxCustomAbstractFax& fax, FaxCallSetup& setup, void (*begin)(TFxCustomAbstractFax&),
               int timeoutSeconds) {
  platform::PlainEventLoop loop;
  platform::setMainThreadDispatcher(&loop);
  struct Restore {
    ~Restore() { platform::setMainThreadDispatcher(nullptr); }
  } restore;
  TFxFaxLog history;
  if (!setup.historyFile.empty()) {
    history.FaxHistoryName = setup.historyFile;
    history.Fax = &fax;
    fax.SetFaxLog(&history);
  }
  std::string lastText;
  bool finished = false;
  int result = 0;
  fax.OnFaxStatus = [&lastText](TFxCustomAbstractFax& f, bool, bool) {
    const std::string text = TFxCustomAbstractFax::StatusText(f.ProgressCode());
    if (!text.empty() && text != lastText) {
      std::printf("%s\n", text.c_str());
      std::fflush(stdout);
    }
    lastText = text;
  };
  fax.OnFaxError = [](TFxCustomAbstractFax&, int code) {
    std::printf("Error: %s (%d)\n", ErrorText(code).c_str(), code);
    std::fflush(stdout);
  };
  fax.OnFaxFinish = [&](TFxCustomAbstractFax&, int code) {
    finished = true;
    result = code;
    loop.quit();
  };
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  begin(fax);
  const uint32_t start = platform::monotonicMs();
  bool aborted = false;
  while (!finished) {
    loop.runFor(std::chrono::milliseconds(200));
    const bool late =
        timeoutSeconds > 0 && platform::monotonicMs() - start > uint32_t(timeoutSeconds) * 1000u;
    if (!finished && !aborted && (g_interrupted || late)) {
      aborted = true;
      fax.AbortFax();
    }
  }
  if (result == 0 && !fax.LastHangupCode().empty())
    std::printf("Remote: %s, hang-up code %s\n", fax.RemoteIdent().c_str(),
                fax.LastHangupCode().c_str());
  if (result == 0)
    std::printf("Line: %d bit/s, %s, error correction %s\n", fax.LinkSpeed(),
                codingName(fax.LinkCoding()), fax.LinkECM() ? "on" : "off");
  if (fax.BadRows() > 0)
    std::printf("Rows spoilt on the line: %ld\n", fax.BadRows());
  std::printf("Finished: %s\n", ErrorText(result).c_str());
  if (result == ecFaxModemGone)
    std::printf("The modem on %s has gone\n", setup.port.DevicePath().c_str());
  std::fflush(stdout);
  setup.port.SetOpen(false);
  return result;
}

bool waitForDevice(FaxCallSetup& setup, int timeoutSeconds) {
  std::printf("Waiting for the modem on %s to come back\n", setup.port.DevicePath().c_str());
  std::fflush(stdout);
  const uint32_t start = platform::monotonicMs();
  while (!g_interrupted) {
    if (timeoutSeconds > 0 && platform::monotonicMs() - start > uint32_t(timeoutSeconds) * 1000u)
      return false;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    try {
      setup.port.SetOpen(true);
    } catch (const std::exception&) {
      continue; // not there yet
    }
    if (setup.port.Open()) {
      std::printf("The modem on %s is back\n", setup.port.DevicePath().c_str());
      std::fflush(stdout);
      return true;
    }
  }
  return false;
}

} // namespace cli
