// A receive session is not one call: after each fax it waits for the next
// ring, in every class; and a call that rings while the modem is still
// being set up is answered once the set-up is done.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

struct Source {
  std::string dir;
  Pages pages{1, std::vector<std::vector<uint8_t>>(48, std::vector<uint8_t>(216, 0))};
  Source() {
    char tmpl[] = "/tmp/tolvane-rxsrc-XXXXXX";
    dir = mkdtemp(tmpl);
    for (int y = 10; y < 30; ++y)
      pages[0][y][40 + y] = 0xF0;
    faxtest::WriteTiff(dir + "/in.tif", pages);
  }
  ~Source() { fs::remove_all(dir); }
  std::string Tiff() const { return dir + "/in.tif"; }
};

std::string ErrorsOf(const CallOutcome& out) {
  std::string s;
  for (int e : out.errors)
    s += std::to_string(e) + " ";
  return s;
}

struct SessionCase {
  TFaxClass cls;
  const char* model;
  const char* name;
};

class ReceiveSession : public ::testing::TestWithParam<SessionCase> {};

// The remote machine calls twice; the session, not limited to one fax,
// takes both calls and files them as FAX0001.APF and FAX0002.APF.
TEST_P(ReceiveSession, TakesTwoCallsInOneSession) {
  const Source src;
  SimModem sim(
      GetParam().model,
      {"--number", "777 fax ident=CALLER file=" + src.Tiff(), "--call", "777 com1 at=6 every=36"},
      2);
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  // TOLVANE_RX_LOG=FILE keeps the port's dispatch log of the session.
  if (const char* log = std::getenv("TOLVANE_RX_LOG")) {
    port.SetLogName(log);
    port.SetLogSize(60000);
    port.SetLogging(tlOn);
  }
  TFxReceiveFax fax;
  fax.SetFaxClass(GetParam().cls);
  fax.SetDestinationDir(folder);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Link(), [&] { fax.BeginReceive(); }, 170,
      [&folder](TFxCustomAbstractFax& f) {
        if (fs::exists(folder + "/FAX0002.APF") && f.ProgressCode() == faxengine::fpWaiting)
          f.AbortFax();
      });
  ASSERT_TRUE(out.finished);
  EXPECT_EQ(out.finishCode, ecCancelRequested) << ErrorText(out.finishCode) << "\n" << sim.Log();
  // Two receptions started and completed, and nothing failed on the way.
  EXPECT_EQ(out.logs, (std::vector<int>{4, 5, 4, 5})) << sim.Log();
  EXPECT_EQ(out.errors, std::vector<int>{ecCancelRequested}) << ErrorsOf(out);
  // Every class takes the remote's MR (two-dimensional) pages, stored as
  // they were sent.
  EXPECT_NE(sim.Log().find("coding T.4 2-D"), std::string::npos) << sim.Log();
  for (const char* name : {"/FAX0001.APF", "/FAX0002.APF"})
    EXPECT_EQ(faxtest::ApfRows(folder + name), src.pages) << name;
}

// Line time of the first simulator log line holding `text` (-1 if none).
double LogTime(const std::string& log, const std::string& text) {
  const size_t at = log.find(text);
  if (at == std::string::npos)
    return -1;
  const size_t open = log.rfind('[', at);
  return open == std::string::npos ? -1 : std::atof(log.c_str() + open + 1);
}

void PlaceCall(const SimModem& sim) {
  const int fd = open((sim.Dir() + "/ctl").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  const std::string line = "call 777 com1\n";
  ASSERT_EQ(write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  close(fd);
}

// The call's first RING comes while the modem is still being set up: in
// Class 1 during the synchronous commands of the start (the call is placed
// just before it), in Classes 2 and 2.0 during the machine's own set-up
// commands (the call is placed just after the start, on a modem whose every
// answer is a second late). The set-up must not fail on the RING, and the
// call is answered on that ring, before the next one six seconds later.
TEST_P(ReceiveSession, CallRingingDuringSetUpIsAnswered) {
  const Source src;
  const bool class1 = GetParam().cls == fcClass1;
  SimModem sim(std::string(GetParam().model) + (class1 ? "" : " delay=1000"),
               {"--number", "777 fax ident=CALLER file=" + src.Tiff(), "--control", "@DIR@/ctl"},
               1);
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  faxtest::SetUpReceiveOne(fax, GetParam().cls, folder);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Link(),
      [&] {
        if (class1)
          PlaceCall(sim);
        fax.BeginReceive();
        if (!class1)
          PlaceCall(sim);
      },
      150);
  ASSERT_TRUE(out.finished);
  const std::string log = sim.Log();
  EXPECT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << log;
  EXPECT_TRUE(out.errors.empty()) << ErrorsOf(out);
  EXPECT_EQ(out.logs, (std::vector<int>{4, 5}));
  EXPECT_EQ(faxtest::ApfRows(folder + "/FAX0001.APF").size(), 1u);
  const double rang = LogTime(log, "call from 777 to com1");
  const double answered = LogTime(log, "call to 777 answered");
  ASSERT_GE(rang, 0) << log;
  ASSERT_GE(answered, 0) << log;
  EXPECT_LT(answered - rang, 6.0) << log;
}

INSTANTIATE_TEST_SUITE_P(EveryClass, ReceiveSession,
                         ::testing::Values(SessionCase{fcClass1, "class1", "Class1"},
                                           SessionCase{fcClass2, "class12", "Class2"},
                                           SessionCase{fcClass2_0, "class120", "Class2_0"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
