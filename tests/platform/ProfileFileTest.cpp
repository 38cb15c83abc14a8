#include "platform/ProfileFile.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"
#include "tests/fuzz/platform/ProfileFuzzCheck.h"

#include "tests/support/IniFileTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::ProfileText;

namespace {

using ProfileFileTest = testsupport::IniFileTest;

std::string setValue(std::string text, const char* section, const char* key, const char* value) {
  ProfileText p(std::move(text));
  EXPECT_TRUE(p.setValue(section, key, value));
  return p.bytes();
}

} // namespace

TEST(ProfileText, LookupIgnoresCaseBlanksAndQuotes) {
  ProfileText p("[Modem]\r\n  comport\t=  2 \r\n[Default Font]\r\nName=\"Times New Roman\"\r\n"
                "[\xC4rger]\r\n\xE4=1\r\nQ='x\"\r\n");
  EXPECT_EQ(p.value("MODEM", "ComPort"), "2");
  EXPECT_EQ(p.value("default font", "NAME"), "Times New Roman");
  // Windows-1252 capitals and small letters match too.
  EXPECT_EQ(p.value("\xE4rger", "\xC4"), "1");
  // Unmatched quotes stay.
  EXPECT_EQ(p.value("\xC4rger", "q"), "'x\"");
  EXPECT_FALSE(p.value("Modem", "FaxClass"));
  EXPECT_FALSE(p.value("Dialing", "ComPort"));
}

TEST(ProfileText, FirstSectionAndFirstKeyWin) {
  ProfileText p("top=0\n[A]\nk=1\nk=2\n; k=3\nnot a key\n[B]\nk=4\n[a]\nk=5\nonly=6\n");
  EXPECT_EQ(p.value("a", "k"), "1");
  // Keys in a later section of the same name do not count.
  EXPECT_FALSE(p.value("a", "only"));
  EXPECT_EQ(p.value("B", "k"), "4");
  // A key before any section belongs to no section.
  EXPECT_FALSE(p.value("", "top"));
}

TEST(ProfileText, RewritingAKeyKeepsEveryOtherByte) {
  const std::string before = "; settings\r\n[Modem]\r\nInitString = M0 \r\n\tComPort = 1\r\n"
                             "\r\n[Dialing]\r\nComPort=7\r\n";
  const std::string after = setValue(before, "modem", "COMPORT", "3");
  EXPECT_EQ(after, "; settings\r\n[Modem]\r\nInitString = M0 \r\nComPort=3\r\n"
                   "\r\n[Dialing]\r\nComPort=7\r\n");
}

TEST(ProfileText, NewKeyGoesAfterTheLastKeyOfItsSection) {
  const std::string before = "[User]\r\nName=Ann\r\n; comment\r\n\r\n[Modem]\r\nComPort=1\r\n";
  EXPECT_EQ(setValue(before, "User", "Fax", "555"),
            "[User]\r\nName=Ann\r\nFax=555\r\n; comment\r\n\r\n[Modem]\r\nComPort=1\r\n");
  // A section with no keys yet gets it right under its header.
  EXPECT_EQ(setValue("[Empty]\r\n\r\n[B]\r\n", "empty", "k", "v"), "[Empty]\r\nk=v\r\n\r\n[B]\r\n");
}

TEST(ProfileText, NewSectionIsAppendedAndLineEndingsFollowTheFile) {
  EXPECT_EQ(setValue("", "Receive", "Wav", ""), "[Receive]\r\nWav=\r\n");
  EXPECT_EQ(setValue("[A]\nx=1\n", "B", "y", "2"), "[A]\nx=1\n[B]\ny=2\n");
  // Files whose last line has no ending get one before anything is added.
  EXPECT_EQ(setValue("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(setValue("[A]\r\nx=1", "A", "y", "2"), "[A]\r\nx=1\r\ny=2\r\n");
  EXPECT_EQ(setValue("[A]\r\nx=1", "A", "x", "5"), "[A]\r\nx=5");
  // A stray CR ending the last line stays part of its line ending.
  EXPECT_EQ(setValue("x\n[Modem\r", "Modem", "k", "1"), "x\n[Modem\r\nk=1\n");
  EXPECT_EQ(ProfileText("[A]\r\nx=1\r").value("A", "x"), "1");
}

TEST(ProfileText, OnlyTheFirstOfDuplicateKeysIsRewritten) {
  EXPECT_EQ(setValue("[A]\r\nk=1\r\nK=2\r\n", "a", "k", "9"), "[A]\r\nk=9\r\nK=2\r\n");
}

TEST(ProfileText, ValuesCannotBreakLinesAndBadNamesAreRefused) {
  ProfileText p("[User]\r\n");
  ASSERT_TRUE(p.setValue("User", "Name", "Ann\r\n[Modem]\r\nComPort=5"));
  EXPECT_EQ(p.bytes(), "[User]\r\nName=Ann[Modem]ComPort=5\r\n");
  EXPECT_FALSE(p.hasSection("Modem"));
  EXPECT_FALSE(p.setValue("A]", "k", "v"));
  EXPECT_FALSE(p.setValue("A", "k=x", "v"));
  EXPECT_FALSE(p.setValue("A", "", "v"));
  EXPECT_FALSE(p.setValue("A\nB", "k", "v"));
  EXPECT_EQ(p.bytes(), "[User]\r\nName=Ann[Modem]ComPort=5\r\n");
}

TEST_F(ProfileFileTest, ReadGivesDefaultsAndCutsLongValues) {
  EXPECT_EQ(platform::GetPrivateProfileString("A", "k", "dflt", m_ini), "dflt");
  EXPECT_FALSE(fs::exists(m_ini)); // reading creates nothing
  writeFile("[A]\r\nk=" + std::string(2000, 'x') + "\r\nempty=\r\n");
  EXPECT_EQ(platform::GetPrivateProfileString("A", "k", "", m_ini),
            std::string(platform::ProfileStringMax, 'x'));
  EXPECT_EQ(platform::GetPrivateProfileString("A", "empty", "dflt", m_ini), "");
}

TEST_F(ProfileFileTest, WritesCreateAndUpdateTheFileKeyByKey) {
  ASSERT_TRUE(platform::WritePrivateProfileString("Receive", "Wav", "ding.wav", m_ini));
  ASSERT_TRUE(platform::WritePrivateProfileString("User", "Name", "M\xFCller", m_ini));
  ASSERT_TRUE(platform::WritePrivateProfileString("receive", "WAV", "", m_ini));
  EXPECT_EQ(readFile(), "[Receive]\r\nWav=\r\n[User]\r\nName=M\xFCller\r\n");
  EXPECT_EQ(platform::GetPrivateProfileString("USER", "name", "", m_ini), "M\xFCller");
  // No temporary files are left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(ProfileFileTest, FailedWriteReportsAndLeavesTheFile) {
  EXPECT_FALSE(
      platform::WritePrivateProfileString("A", "k", "v", (m_dir / "missing" / "TOV.INI").string()));
  // A folder in place of the file can be neither read nor replaced.
  fs::create_directories(m_dir / "dir.ini");
  EXPECT_FALSE(platform::WritePrivateProfileString("A", "k", "v", (m_dir / "dir.ini").string()));
  EXPECT_TRUE(fs::is_directory(m_dir / "dir.ini"));
}

TEST_F(ProfileFileTest, PortDevicesComeFromThePortsSection) {
  EXPECT_EQ(platform::PortDevicePath(1, m_ini), "/dev/ttyS0");
  EXPECT_EQ(platform::PortDevicePath(6, m_ini), "/dev/ttyS5");
  EXPECT_EQ(platform::PortDevicePath(0, m_ini), "");
  writeFile("[ports]\r\ncom2 = /dev/ttyACM0\r\nCom3=\r\n");
  EXPECT_EQ(platform::PortDevicePath(2, m_ini), "/dev/ttyACM0");
  EXPECT_EQ(platform::PortDevicePath(3, m_ini), "/dev/ttyS2");
  ASSERT_TRUE(platform::SetPortDevicePath(4, "/dev/pts/7", m_ini));
  EXPECT_EQ(platform::PortDevicePath(4, m_ini), "/dev/pts/7");
  EXPECT_EQ(readFile(), "[ports]\r\ncom2 = /dev/ttyACM0\r\nCom3=\r\nCom4=/dev/pts/7\r\n");
}

TEST_F(ProfileFileTest, ProgramDirComesFromTheSetterThenTheEnvironment) {
  platform::setProgramDir(m_dir.string());
  EXPECT_EQ(platform::ProgramDir(), m_dir.string() + "/");
  EXPECT_EQ(platform::IniFileName(), m_dir.string() + "/TOV.INI");
  writeFile("[Ports]\r\nCom1=/dev/ttyUSB0\r\n");
  EXPECT_EQ(platform::PortDevicePath(1), "/dev/ttyUSB0");

  ::setenv("TOLVANE_HOME", "/srv/fax", 1);
  platform::setProgramDir("");
  EXPECT_EQ(platform::ProgramDir(), "/srv/fax/");
  ::unsetenv("TOLVANE_HOME");
  platform::setProgramDir("");
  // Without either, the folder is the executable's (writable here) or the XDG one.
  const std::string automatic = platform::ProgramDir();
  EXPECT_EQ(automatic.back(), '/');
  EXPECT_TRUE(fs::is_directory(automatic));
  platform::setProgramDir("");
}

// Inputs kept from fuzzing (seeds and any input that once failed) are replayed.
TEST(ProfileText, StoredFuzzInputsKeepTheWriterPromise) {
  int replayed = 0;
  for (const char* folder : {"profile-seeds", "profile-regressions"}) {
    fs::path dir = fs::path(TOLVANE_TEST_DATA) / "platform" / folder;
    if (!fs::is_directory(dir))
      continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      EXPECT_TRUE(profile_fuzz::checkInput(ss.str())) << entry.path();
      ++replayed;
    }
  }
  EXPECT_GE(replayed, 4);
}
