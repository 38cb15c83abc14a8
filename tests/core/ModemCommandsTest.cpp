// The modem command services against a scripted modem on a pseudo-terminal.

#include "core/ModemCommands.h"

#include "platform/PortDevices.h"
#include "tests/serial/ChildProcess.h"
#include "tests/serial/PortTestSupport.h"

namespace {

// Answers OK to commands that hold AT in any letter case, ERROR to anything
// else, and stays silent on ATH (a modem that hangs).
std::string modemScript(const std::string& command) {
  if (command == "ATH")
    return "";
  std::string upper = command;
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.find("AT") != std::string::npos)
    return command + "\r\r\nOK\r\n"; // echo, then the result
  return "\r\nERROR\r\n";
}

class ModemCommands : public testsupport::PortTest {
protected:
  void SetUp() override {
    PortTest::SetUp();
    port.SetOpen(true);
  }
};

TEST_F(ModemCommands, CommandsWithoutATGetThePrefixInTheCallersString) {
  testsupport::ScriptedResponder modem(pty, modemScript);
  std::string reset = "Z";
  EXPECT_TRUE(SendModemCommand(port, reset));
  EXPECT_EQ(reset, "ATZ");
  std::string mixed = "&fAt&c1"; // contains "At": sent as it is
  EXPECT_TRUE(SendModemCommand(port, mixed));
  EXPECT_EQ(mixed, "&fAt&c1");
  std::string lower = "at&f";
  EXPECT_TRUE(SendModemCommand(port, lower));
  EXPECT_EQ(lower, "at&f");
  EXPECT_TRUE(ResetModemToFactory(port));
  EXPECT_EQ(modem.commands(), (std::vector<std::string>{"ATZ", "&fAt&c1", "at&f", "AT&F"}));
}

TEST_F(ModemCommands, NoOkWithinTwoSecondsIsFalse) {
  testsupport::ScriptedResponder modem(pty, modemScript);
  std::string hang = "ATH";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendModemCommand(port, hang));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(35 * 55));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));
}

TEST_F(ModemCommands, ErrorsOfAClosedPortAreSwallowed) {
  port.SetOpen(false);
  port.SetAutoOpen(false);
  std::string command = "ATZ";
  EXPECT_FALSE(SendModemCommand(port, command));
  EXPECT_FALSE(ResetModemToFactory(port));
}

class OpenModemPortTest : public ::testing::Test {
protected:
  void SetUp() override {
    serial::UucpLock::setLockDir(testsupport::tempDir());
    platform::setProgramDir(testsupport::tempDir());
  }
};

TEST_F(OpenModemPortTest, APortHeldByAnotherProgramGivesTheInUseText) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(platform::SetPortDevicePath(2, pty.slavePath(), platform::IniFileName()));
  testsupport::PortHolderProcess holder(testsupport::tempDir(), pty.slavePath());
  ASSERT_EQ(holder.openResult(), 0);
  TFxComPort port;
  port.SetComNumber(2);
  std::string text = "stale";
  EXPECT_FALSE(OpenModemPort(port, text));
  EXPECT_EQ(text, "The communications port is in use ( Com 2 )\r\rPlease make sure that all "
                  "communication programs (internet, AOL, etc) are closed, and then try again.");
  holder.stop();
  EXPECT_TRUE(OpenModemPort(port, text));
  EXPECT_EQ(text, "");
  // Opening it a second time in this program is "in use" too.
  TFxComPort twin;
  twin.SetComNumber(2);
  EXPECT_FALSE(OpenModemPort(twin, text));
  EXPECT_EQ(text.rfind("The communications port is in use ( Com 2 )", 0), 0u);
}

TEST_F(OpenModemPortTest, OtherFailuresHaveTheirTexts) {
  ASSERT_TRUE(platform::SetPortDevicePath(5, "/dev/tolvane-missing", platform::IniFileName()));
  TFxComPort missing;
  missing.SetComNumber(5);
  std::string text;
  EXPECT_FALSE(OpenModemPort(missing, text));
  EXPECT_EQ(text, "Unable to open the specified communications port ( Com5 )");

  testsupport::PtyPair pty;
  ASSERT_TRUE(platform::SetPortDevicePath(3, pty.slavePath(), platform::IniFileName()));
  TFxComPort badBaud;
  badBaud.SetComNumber(3);
  badBaud.SetBaud(1234);
  EXPECT_FALSE(OpenModemPort(badBaud, text));
  EXPECT_EQ(text, "Unable to open the specified communications port ( Com3 )\r"
                  "Error message: ie_Baudrate - unsupported baud rate");
}

} // namespace
