#include "core/Settings.h"
#include "core/IniFile.h"
#include "core/Placement.h"
#include "core/SharedServices.h"
#include "platform/ProgramDir.h"

#include "tests/support/IniFileTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace app;

namespace {

using SettingsFile = testsupport::IniFileTest;

} // namespace

TEST_F(SettingsFile, MissingFileGivesDefaultsAndIsNotCreated) {
  TSettings s;
  s.DialAttempts = 77;
  s.FontName = "Courier";
  LoadSettings(s, m_ini);
  // The defaults themselves are pinned by the exact text of a new file below.
  EXPECT_EQ(s, TSettings());
  EXPECT_FALSE(fs::exists(m_ini));
}

TEST_F(SettingsFile, NewFileHoldsEveryKeyInSaveOrder) {
  SaveSettings(TSettings(), m_ini);
  EXPECT_EQ(readFile(), "[Receive]\r\nWav=\r\nAtStartup=0\r\nAnswerOnRing=1\r\n"
                        "[User]\r\nFax=\r\nName=\r\n"
                        "[Dialing]\r\nDialPrefix=\r\nDialAttempts=3\r\nRetryWait=60\r\n"
                        "BlindDial=0\r\nIgnoreBusy=0\r\nToneOrPulse=0\r\nTimeout=60\r\n"
                        "[Modem]\r\nInitString=\r\nComPort=-1\r\nFaxClass=0\r\nMaximumBPS=9600\r\n"
                        "[Default Font]\r\nName=Arial\r\nSize=10\r\nBold=0\r\nItalic=0\r\n"
                        "Underline=0\r\n"
                        "[Resetting]\r\nString=\r\nAfterString=\r\n"
                        "[Hints]\r\nOn=1\r\n"
                        "[Printing]\r\nSendAtOnce=0\r\n");
}

TEST_F(SettingsFile, EveryFieldSurvivesSaveAndLoad) {
  TSettings s;
  s.WavFile = "/usr/share/sounds/ding.wav";
  s.ReceiveAtStartup = true;
  s.AnswerOnRing = 3;
  s.UserFax = "+49 89 555";
  s.UserName = "J\xFCrgen M\xFCller";
  s.DialPrefix = "9,";
  s.InitString = "M0L0";
  s.DialAttempts = 5;
  s.RetryWait = 120;
  s.BlindDial = true;
  s.IgnoreBusy = true;
  s.ComPort = 2;
  s.FaxClass = 3;
  s.ToneOrPulse = 1;
  s.Timeout = 90;
  s.MaximumBPS = 14400;
  s.ResetString = "ATZ";
  s.AfterResetString = "AT&F";
  s.FontName = "Times New Roman";
  s.FontSize = 12;
  s.FontBold = s.FontItalic = s.FontUnderline = true;
  s.HintsOn = false;
  s.SendPrintedAtOnce = true;
  SaveSettings(s, m_ini);
  TSettings back;
  LoadSettings(back, m_ini);
  EXPECT_EQ(back, s);
}

TEST_F(SettingsFile, SavingKeepsForeignLinesAndPlacementSections) {
  writeFile("; hand-written note\r\n[Ports]\r\nCom1=/dev/ttyUSB0\r\n"
            "[TMainScreen_Placement]\r\nLeft=10\r\n");
  SaveSettings(TSettings(), m_ini);
  const std::string text = readFile();
  EXPECT_EQ(text.rfind("; hand-written note\r\n[Ports]\r\nCom1=/dev/ttyUSB0\r\n"
                       "[TMainScreen_Placement]\r\nLeft=10\r\n[Receive]\r\n",
                       0),
            0u);
}

TEST_F(SettingsFile, NumbersFollowTheProgramsRules) {
  EXPECT_EQ(ParseIniInteger("0x0A", 3), 10);
  EXPECT_EQ(ParseIniInteger("0X1f", 3), 31);
  EXPECT_EQ(ParseIniInteger("0xFFFFFFFF", 3), -1);
  EXPECT_EQ(ParseIniInteger("0x", 3), 3);
  EXPECT_EQ(ParseIniInteger("0xG1", 3), 3);
  EXPECT_EQ(ParseIniInteger("0x100000000", 3), 3);
  EXPECT_EQ(ParseIniInteger("-12", 3), -12);
  EXPECT_EQ(ParseIniInteger("+7", 3), 7);
  EXPECT_EQ(ParseIniInteger("007", 3), 7);
  EXPECT_EQ(ParseIniInteger("abc", 3), 3);
  EXPECT_EQ(ParseIniInteger("12abc", 3), 3);
  EXPECT_EQ(ParseIniInteger("", 3), 3);
  EXPECT_EQ(ParseIniInteger("+-1", 3), 3);
  EXPECT_EQ(ParseIniInteger("99999999999", 3), 3);

  writeFile("[Dialing]\r\nDialAttempts=0x0A\r\nRetryWait=abc\r\nBlindDial=2\r\n"
            "IgnoreBusy=yes\r\n[Hints]\r\nOn=0\r\n[Modem]\r\nMaximumBPS = 19200 \r\n");
  TSettings s;
  LoadSettings(s, m_ini);
  EXPECT_EQ(s.DialAttempts, 10);
  EXPECT_EQ(s.RetryWait, 60);
  EXPECT_TRUE(s.BlindDial);
  EXPECT_FALSE(s.IgnoreBusy);
  EXPECT_FALSE(s.HintsOn);
  EXPECT_EQ(s.MaximumBPS, 19200);
  // Shown as 9600 in the speed list, and saved so after the next accept.
  EXPECT_EQ(BpsFromIndex(IndexFromBps(s.MaximumBPS)), 9600);
}

TEST_F(SettingsFile, RefusedWriteNamesTheFile) {
  const std::string bad = (m_dir / "gone" / "TOV.INI").string();
  try {
    SaveSettings(TSettings(), bad);
    FAIL() << "no error raised";
  } catch (const EIniWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + bad + ": No such file or directory");
  }
}

TEST_F(SettingsFile, GlobalRecordUsesTheDataFolder) {
  platform::setProgramDir(m_dir.string());
  Settings = TSettings();
  Settings.UserName = "Ann";
  SaveSettings();
  Settings.UserName = "changed, not saved";
  LoadSettings();
  EXPECT_EQ(Settings.UserName, "Ann");
  EXPECT_TRUE(fs::exists(m_ini));
  platform::setProgramDir("");
}

TEST(SpeedList, IndexAndBpsMapBothWays) {
  const int list[] = {2400, 4800, 7200, 9600, 12000, 14400};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(BpsFromIndex(i), list[i]);
    EXPECT_EQ(IndexFromBps(list[i]), i);
  }
  EXPECT_EQ(IndexFromBps(19200), 3);
  EXPECT_EQ(BpsFromIndex(6), 9600);
}

TEST(TextHelpers, TrimSpacesAndBlankText) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\tx \t"), "\tx \t");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_TRUE(IsTextBlank(""));
  EXPECT_TRUE(IsTextBlank("  \r\n\r\n \n  \r"));
  EXPECT_FALSE(IsTextBlank("\r\n\r\n  x"));
  EXPECT_FALSE(IsTextBlank("\t")); // tabs are not blanks
  EXPECT_FALSE(IsTextBlank(std::string(256, ' ')));
  EXPECT_TRUE(IsTextBlank(std::string(255, ' ')));
  // Only lines 0 to 200 are looked at.
  EXPECT_TRUE(IsTextBlank(std::string(201, '\n') + "x"));
  EXPECT_FALSE(IsTextBlank(std::string(200, '\n') + "x"));
}
