// The preferences dialog: what Accept stores, what Cancel leaves alone
// (only the modem reset dialog saves on its own), the integer stop, the
// speed mapping, the first-run greeting and the sound chooser.

#include "SendTestSupport.h"

#include "app/TPreferences.h"
#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "widgets/FormParts.h"
#include "send/TResetModemForm.h"
#include "platform/PortDevices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;
using appwidgets::MessageBoxHook::setNextFileName;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Type(QWidget& w, const char* name, const QString& text) {
  auto* edit = w.findChild<QLineEdit*>(name);
  ASSERT_NE(edit, nullptr) << name;
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// Clicks a switch of the fax features page, as the user does: the page
// first, then the box.
void ClickFeature(QWidget& prefs, const char* name) {
  auto* pages = prefs.findChild<QTabWidget*>("Pages");
  pages->setCurrentWidget(prefs.findChild<QWidget*>("PortFeaturesPage"));
  auto* box = prefs.findChild<QCheckBox*>(name);
  ASSERT_NE(box, nullptr) << name;
  const bool was = box->isChecked();
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_NE(box->isChecked(), was) << name;
}

// A TOV.INI as an earlier run left it, with a line of its own in it.
void WriteStartingIni(const sendtest::TestHome& home) {
  app::TSettings s;
  s.UserName = "Ann";
  s.UserFax = "555 0199";
  s.ComPort = 1;
  s.ResetString = "AT&F";
  app::SaveSettings(s, home.Ini());
  std::ofstream(home.Ini(), std::ios::app) << "; kept by hand\r\n";
  home.SetCom(2, "/dev/ttyUSB0");
  app::LoadSettings(app::Settings, home.Ini());
}

TEST(Preferences, CancelLeavesTheFileAsItWasExceptWhatFontAndModemResetSaved) {
  sendtest::TestHome home;
  WriteStartingIni(home);
  const std::string expectedPath = home.Dir() + "expected.ini";
  QFile::copy(QString::fromStdString(home.Ini()), QString::fromStdString(expectedPath));

  TPreferences prefs;
  prefs.show();
  Type(prefs, "Name", "Bob");
  Type(prefs, "FaxNumber", "1");
  Type(prefs, "DialAttempts", "9");
  Type(prefs, "WaveFileEdit", "/tmp/x.wav");
  prefs.findChild<appwidgets::TRadioGroup*>("ComPort")->SetItemIndex(4);
  prefs.findChild<QCheckBox*>("CheckBlindDial")->setChecked(true);
  prefs.findChild<QComboBox*>("PortDevice1")->setCurrentText("/dev/ttyACM7");
  ClickFeature(prefs, "EcmCom1");
  sendtest::WhenModal<QFontDialog>([](QFontDialog&) { return true; },
                                   [](QFontDialog& f) {
                                     QFont font = f.currentFont();
                                     font.setPointSize(14);
                                     f.setCurrentFont(font);
                                     f.accept();
                                   });
  sendtest::Click(prefs, "DefaultFontButton");
  sendtest::WhenModal<TResetModemForm>([](TResetModemForm&) { return true; },
                                       [](TResetModemForm& f) {
                                         f.ResetStringEdit()->setText("ATZ");
                                         sendtest::Click(f, "OkButton");
                                       });
  sendtest::Click(prefs, "ModemResetButton");
  sendtest::Click(prefs, "CancelButton");
  EXPECT_EQ(prefs.result(), 2);

  // The font and the reset string were saved on their own ...
  app::TSettings after;
  app::LoadSettings(after, home.Ini());
  EXPECT_EQ(after.FontSize, 14);
  EXPECT_EQ(after.ResetString, "ATZ");
  // ... and every other byte of the file is as it was.
  app::TSettings expected;
  app::LoadSettings(expected, expectedPath);
  expected.ResetString = after.ResetString;
  expected.FontName = after.FontName;
  expected.FontSize = after.FontSize;
  expected.FontBold = after.FontBold;
  expected.FontItalic = after.FontItalic;
  expected.FontUnderline = after.FontUnderline;
  app::SaveSettings(expected, expectedPath);
  EXPECT_EQ(ReadAll(home.Ini()), ReadAll(expectedPath));
}

TEST(Preferences, AcceptStopsAtABadIntegerThenStoresEveryField) {
  sendtest::TestHome home;
  WriteStartingIni(home);
  ASSERT_TRUE(platform::SetPortFeatures(2, {false, true}, home.Ini())); // Com2Ecm=0
  const std::string before = ReadAll(home.Ini());
  app::Settings.MaximumBPS = 19200;
  TPreferences prefs;
  prefs.show();
  EXPECT_EQ(prefs.findChild<QComboBox*>("TransferRate")->currentText(), "9600");
  EXPECT_EQ(sendtest::LabelText(prefs, "ComDevice"), "Com2 is /dev/ttyUSB0");
  Type(prefs, "Name", "Bob");
  Type(prefs, "RetryWait", "12a");
  Type(prefs, "TimeOut", "soon");
  prefs.findChild<QComboBox*>("PortDevice3")->setCurrentText("/dev/ttyACM0");
  // The fax features page shows the switches of the file; a click turns one over.
  EXPECT_TRUE(prefs.findChild<QCheckBox*>("EcmCom1")->isChecked());
  EXPECT_FALSE(prefs.findChild<QCheckBox*>("EcmCom2")->isChecked());
  ClickFeature(prefs, "EcmCom2");
  ClickFeature(prefs, "TwoDimCom4");
  setNextAnswer(QMessageBox::Ok);
  sendtest::Click(prefs, "AcceptButton");
  EXPECT_EQ(lastText(), "'12a' is not a valid integer value");
  EXPECT_TRUE(prefs.isVisible());
  EXPECT_EQ(ReadAll(home.Ini()), before);   // nothing saved
  EXPECT_EQ(app::Settings.UserName, "Bob"); // taken back before the stop

  Type(prefs, "RetryWait", "30");
  prefs.findChild<appwidgets::TRadioGroup*>("AnswerOnRing")->SetItemIndex(2);
  sendtest::Click(prefs, "AcceptButton");
  EXPECT_EQ(prefs.result(), 1);
  app::TSettings stored;
  app::LoadSettings(stored, home.Ini());
  EXPECT_EQ(stored.UserName, "Bob");
  EXPECT_EQ(stored.RetryWait, 30);
  EXPECT_EQ(stored.Timeout, 60); // not a number: the old value
  EXPECT_EQ(stored.MaximumBPS, 9600);
  EXPECT_EQ(stored.AnswerOnRing, 3);
  EXPECT_EQ(platform::PortDevicePath(3, home.Ini()), "/dev/ttyACM0");
  EXPECT_EQ(platform::PortDevicePath(2, home.Ini()), "/dev/ttyUSB0");
  // What a call on each port reads: Com2 has error correction again, Com4
  // no 2-D coding; the ports left alone gained no keys.
  const std::string ini = ReadAll(home.Ini());
  EXPECT_NE(ini.find("Com2Ecm=1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Com4TwoDim=0"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("Com1Ecm"), std::string::npos) << ini;
  EXPECT_TRUE(platform::PortFeatures(2, home.Ini()).ecm);
  EXPECT_FALSE(platform::PortFeatures(4, home.Ini()).twoDim);
  EXPECT_TRUE(platform::PortFeatures(4, home.Ini()).ecm);
}

TEST(Preferences, FirstRunGreetsAndShowsComOne) {
  sendtest::TestHome home;
  app::Settings.ComPort = -1;
  TPreferences prefs;
  prefs.SetFirstRunGreeting(true);
  setNextAnswer(QMessageBox::Ok);
  prefs.show();
  ASSERT_TRUE(sendtest::WaitUntil([] { return lastText().startsWith("Please enter"); }, 5));
  EXPECT_EQ(lastText(), "Please enter information about yourself and your\rfaxmodem in the "
                        "Preferences screen. These values\rwill be saved for future use.\r\rBE "
                        "SURE TO VERIFY THE PORT AND FAX CLASS\rSETTINGS BEFORE CONTINUING");
  EXPECT_FALSE(prefs.FirstRunGreeting());
  EXPECT_EQ(prefs.findChild<appwidgets::TRadioGroup*>("ComPort")->ItemIndex(), 0);
}

TEST(Preferences, SoundChooserTakesOnlyWaveNames) {
  sendtest::TestHome home;
  TPreferences prefs;
  prefs.show();
  auto* wav = prefs.findChild<QLineEdit*>("WaveFileEdit");
  setNextFileName("/tmp/sounds/ring.wav");
  sendtest::Click(prefs, "SelectWavButton");
  EXPECT_EQ(wav->text(), "/tmp/sounds/ring.wav");
  setNextFileName("/tmp/sounds/ring.mp3");
  sendtest::Click(prefs, "SelectWavButton");
  EXPECT_EQ(wav->text(), "/tmp/sounds/ring.wav");
  sendtest::Click(prefs, "NoneButton");
  EXPECT_EQ(wav->text(), "");
}

} // namespace
