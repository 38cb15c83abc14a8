// The modem after a call, through the simulated modem: cancelled in
// mid-page in Classes 1, 2 and 2.0, the call ends promptly and the modem
// takes the next fax on the same open port; after any call, failed or not,
// the modem is left a data modem for the next program.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "platform/FxErrors.h"
#include "platform/MainThreadDispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;
using Clock = std::chrono::steady_clock;
using namespace faxengine;

namespace {

// ------------------------------------------------------------ cancel

class CancelInPage : public ::testing::TestWithParam<TFaxClass> {};

// Cancelled in mid-page, the call ends within seconds and leaves the modem
// in command mode: the next fax goes through on the same open port, and
// again after the port was closed and opened. The remote is told the call
// is over.
TEST_P(CancelInPage, EndsPromptlyAndTheModemTakesTheNextFax) {
  SimModem sim(faxtest::ModelOf(GetParam()), faxtest::kRemoteNumbers,
               faxtest::LineSpeedOf(GetParam()));
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  const std::string big = faxtest::MakeApf(sim.Dir(), 1, 60, "big");
  const std::string small = faxtest::MakeApf(sim.Dir(), 1, 4, "small");
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, GetParam(), "5551234", big);
  Clock::time_point cancelled{};
  const CallOutcome first = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120,
      [&](TFxCustomAbstractFax& f) {
        if (cancelled == Clock::time_point{} && faxtest::InPage(f, 3000)) {
          f.AbortFax();
          cancelled = Clock::now();
        }
      },
      20, true);
  ASSERT_NE(cancelled, Clock::time_point{}) << "the page never started";
  const double seconds = faxtest::SecondsSince(cancelled);
  ASSERT_TRUE(first.finished);
  EXPECT_EQ(first.finishCode, ecCancelRequested) << ErrorText(first.finishCode) << sim.Log();
  EXPECT_TRUE(first.statuses.count(fpCancel));
  EXPECT_LT(seconds, 30.0) << "the cancel took " << seconds << " s";
  std::printf("cancel ended the call in %.2f s\n", seconds);
  ASSERT_TRUE(port.Open());

  faxtest::SetUpSend(fax, GetParam(), "5551234", small);
  const CallOutcome same = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120, {}, 100, true);
  ASSERT_TRUE(same.finished);
  EXPECT_EQ(same.finishCode, 0) << "on the same open port: " << ErrorText(same.finishCode) << "\n"
                                << sim.Log();
  port.SetOpen(false);

  faxtest::SetUpSend(fax, GetParam(), "5551234", small);
  const CallOutcome reopened = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120);
  ASSERT_TRUE(reopened.finished);
  EXPECT_EQ(reopened.finishCode, 0) << "after reopening: " << ErrorText(reopened.finishCode);
  int remotePages = 0;
  for (auto& e : fs::directory_iterator(sim.Dir() + "/RX"))
    remotePages += static_cast<int>(faxtest::TiffRows(e.path().string()).size());
  EXPECT_EQ(remotePages, 2) << sim.Log();
  // A Class 1 modem leaves the end of the call to the program: the remote
  // hears our DCN instead of finding the line dropped.
  if (GetParam() == fcClass1)
    EXPECT_NE(sim.Log().find("Unexpected DCN"), std::string::npos)
        << "the remote was not told that the call ended\n"
        << sim.Log();
}

INSTANTIATE_TEST_SUITE_P(Classes, CancelInPage, ::testing::Values(fcClass1, fcClass2, fcClass2_0),
                         faxtest::ClassTestName);

// ------------------------------------------------------------ after a call

// The program that opens the port next finds a data modem, whether the
// call failed (nobody answered) or went through.
class ModemClassAfterCall : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(ModemClassAfterCall, IsDataAgainAfterFailureAndSuccess) {
  for (const char* number : {"5550001", "5551234"}) {
    SimModem sim(faxtest::ModelOf(GetParam()), faxtest::kRemoteNumbers,
                 faxtest::LineSpeedOf(GetParam()));
    ASSERT_TRUE(sim.Started());
    fs::create_directory(sim.Dir() + "/RX");
    TFxComPort port;
    TFxSendFax fax;
    faxtest::SetUpSend(fax, GetParam(), number, faxtest::MakeApf(sim.Dir(), 1, 4));
    const CallOutcome out = faxtest::RunCall(
        fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 90);
    ASSERT_TRUE(out.finished);
    EXPECT_EQ(out.finishCode == 0, std::string(number) == "5551234") << ErrorText(out.finishCode);
    // The simulator logs the class the modem was in when the port closed.
    const std::string log = sim.Log();
    for (int i = 0; i < 20 && log.find("port closed") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(sim.Log().find("port closed on com1 in class 0"), std::string::npos)
        << "calling " << number << "\n"
        << sim.Log();
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, ModemClassAfterCall, ::testing::Values(fcClass1, fcClass2),
                         faxtest::ClassTestName);

// ------------------------------------------------------------ the port

// A port closed, or destroyed, under a running call ends the call: it lets
// go of the port, OnFaxFinish reports the port not open, and a destroyed
// port is forgotten by the component.
TEST(PortUnderACall, ClosingOrDestroyingThePortEndsTheCall) {
  for (const bool destroy : {false, true}) {
    SimModem sim("class120", faxtest::kRemoteNumbers, 4);
    ASSERT_TRUE(sim.Started());
    fs::create_directory(sim.Dir() + "/RX");
    platform::PlainEventLoop loop;
    platform::setMainThreadDispatcher(&loop);
    auto port = std::make_unique<TFxComPort>();
    TFxSendFax fax;
    faxtest::SetUpSend(fax, fcClass2, "5551234", faxtest::MakeApf(sim.Dir(), 1, 60));
    bool finished = false;
    int code = 0;
    fax.OnFaxFinish = [&](TFxCustomAbstractFax&, int c) {
      finished = true;
      code = c;
    };
    port->SetDevicePath(sim.Device());
    fax.SetComPort(port.get());
    port->SetOpen(true);
    fax.BeginTransmit();
    const auto start = Clock::now();
    bool gone = false;
    while (!finished && faxtest::SecondsSince(start) < 120) {
      loop.runFor(std::chrono::milliseconds(20));
      if (!gone && faxtest::InPage(fax, 3000)) {
        gone = true;
        if (destroy)
          port.reset();
        else
          port->SetOpen(false);
      }
    }
    for (int i = 0; i < 10; ++i) // the finish is posted: let it run
      loop.runFor(std::chrono::milliseconds(20));
    platform::setMainThreadDispatcher(nullptr);
    ASSERT_TRUE(gone) << "the page never started";
    ASSERT_TRUE(finished) << (destroy ? "destroyed" : "closed");
    EXPECT_EQ(code, ecCommNotOpen) << ErrorText(code);
    EXPECT_FALSE(fax.Running());
    EXPECT_EQ(fax.ComPort() == nullptr, destroy);
  }
}

} // namespace
