// Find modem, check fax class and modem reset against simulated modems,
// opened from the send dialog's buttons as a user opens them.

#include "../faxengine/FaxSimHarness.h"
#include "../serial/ChildProcess.h"
#include "SendTestSupport.h"

#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "widgets/FormParts.h"
#include "send/TCheckFaxClassForm.h"
#include "send/TFindModemForm.h"
#include "send/TResetModemForm.h"
#include "send/TSendFaxForm.h"
#include "serial/UucpLock.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;
using sendtest::LabelText;

namespace {

bool OkShown(QWidget& w) {
  auto* ok = w.findChild<QPushButton*>("OkButton");
  return ok && ok->isVisible();
}

struct Shown {
  QStringList labels, devices;
  QString message, caption;
};

Shown ReadFindModem(TFindModemForm& form) {
  Shown s;
  for (int i = 1; i <= 6; ++i) {
    s.labels << LabelText(form, qPrintable(QString("Label%1").arg(i)));
    s.devices << LabelText(form, qPrintable(QString("Device%1").arg(i)));
  }
  s.message = LabelText(form, "Label7");
  s.caption = form.windowTitle();
  return s;
}

std::string RealPath(const std::string& link) {
  return fs::canonical(link).string();
}

class ModemUtilities : public ::testing::Test {
protected:
  void SetUp() override {
    serial::UucpLock::setLockDir(m_home.Dir());
    appwidgets::MessageBoxHook::clear();
  }
  void TearDown() override { serial::UucpLock::setLockDir("/var/lock"); }
  sendtest::TestHome m_home;
};

TEST_F(ModemUtilities, FindModemOverSixEntriesNamesEachResultAndWhoHoldsAPort) {
  faxtest::SimModem sim("class120", {"--modem", "com2 silent link=@DIR@/com2", "--modem",
                                     "com3 model=class1 link=@DIR@/com3"});
  ASSERT_TRUE(sim.Started());
  const std::string held = RealPath(sim.Dir() + "/com3");
  testsupport::PortHolderProcess holder(m_home.Dir(), held);
  ASSERT_EQ(holder.openResult(), 0);
  m_home.SetCom(1, "/dev/tolvane-missing-1");
  m_home.SetCom(2, sim.Link());
  m_home.SetCom(3, held);
  m_home.SetCom(4, sim.Dir() + "/com2");
  m_home.SetCom(5, "/dev/tolvane-missing-5");
  m_home.SetCom(6, "/dev/tolvane-missing-6");
  app::Settings.ComPort = 0;

  TSendFaxForm form;
  form.LoadSettings(app::Settings);
  form.show();
  Shown shown;
  sendtest::WhenModal<TFindModemForm>(OkShown, [&](TFindModemForm& f) {
    shown = ReadFindModem(f);
    sendtest::Click(f, "OkButton");
  });
  setNextAnswer(QMessageBox::Yes);
  sendtest::Click(form, "FindModemButton");

  EXPECT_EQ(shown.labels,
            QStringList({"Com 1: Port does not exist", "Com 2: MODEM",
                         "Com 3: Port is already open (could be modem)", "Com 4: Unknown",
                         "Com 5: Port does not exist", "Com 6: Port does not exist"}));
  EXPECT_EQ(shown.devices[1], QString::fromStdString(sim.Link()));
  EXPECT_EQ(shown.devices[2], QString::fromStdString(held));
  EXPECT_TRUE(shown.message.startsWith(
      "A modem was found on Com Port 2. We suggest setting the Port as Com 2."))
      << shown.message.toStdString();
  EXPECT_TRUE(shown.message.contains(QString("Com 3: %1 is held by serial_port_hol (process %2)")
                                         .arg(QString::fromStdString(held))
                                         .arg(holder.pid())))
      << shown.message.toStdString();
  EXPECT_EQ(shown.caption, "Find Modem");
  EXPECT_EQ(lastText(), "Set Com Port to Com 2");
  EXPECT_EQ(form.findChild<appwidgets::TRadioGroup*>("ComPort")->ItemIndex(), 1);
  EXPECT_EQ(LabelText(form, "ComDevice"), "Com2 is " + QString::fromStdString(sim.Link()));

  // Without the modem: the longer message, and nothing is asked.
  m_home.SetCom(2, "/dev/tolvane-missing-2");
  TFindModemForm alone;
  alone.SetComPort(&form.FxComPort1());
  alone.show();
  ASSERT_TRUE(sendtest::WaitUntil([&] { return OkShown(alone); }, 30));
  EXPECT_EQ(alone.FoundPort(), -1);
  EXPECT_TRUE(LabelText(alone, "Label7")
                  .startsWith("No modem found. Please make sure that all communication programs "
                              "(internet, AOL, etc) are closed, and then try again. If you know "
                              "which Com port your modem uses, you can also just set the Port to "
                              "that setting"));
}

struct ClassShown {
  QString l1, l2, l3, says, status;
  bool bold3 = false;
};

ClassShown CheckClassOn(int comIndex, const QString& question) {
  app::Settings.ComPort = comIndex;
  app::Settings.FaxClass = 0;
  TSendFaxForm form;
  form.LoadSettings(app::Settings);
  form.show();
  ClassShown shown;
  sendtest::WhenModal<TCheckFaxClassForm>(OkShown, [&](TCheckFaxClassForm& f) {
    shown = {LabelText(f, "Label1"), LabelText(f, "Label2"),
             LabelText(f, "Label3"), LabelText(f, "ModemSays"),
             LabelText(f, "Status"), f.findChild<QLabel*>("Label3")->font().bold()};
    sendtest::Click(f, "OkButton");
  });
  setNextAnswer(QMessageBox::Yes);
  sendtest::Click(form, "CheckFaxClassButton");
  EXPECT_EQ(lastText(), question);
  EXPECT_FALSE(form.FxComPort1().Open());
  return shown;
}

TEST_F(ModemUtilities, CheckFaxClassRecommendsWhatEachModelCanDo) {
  faxtest::SimModem sim("class1", {"--modem", "com2 model=class12 link=@DIR@/com2", "--modem",
                                   "com3 model=class120 link=@DIR@/com3", "--modem",
                                   "com4 model=liar link=@DIR@/com4"});
  ASSERT_TRUE(sim.Started());
  m_home.SetCom(1, sim.Link());
  for (int n = 2; n <= 4; ++n)
    m_home.SetCom(n, sim.Dir() + "/com" + std::to_string(n));
  const QString advice = "Try using the recommended Fax Class (%1) or auto detect. If you "
                         "experience problems, try Class 1.\n\n(note: US Robotics users should "
                         "read the help section on troubleshooting)";

  ClassShown c1 = CheckClassOn(0, "Set fax class as Class 1 ?");
  EXPECT_EQ(c1.l1, "Class 1   : Supported (recommended)");
  EXPECT_EQ(c1.l2, "Class 2   : Not Supported");
  EXPECT_EQ(c1.l3, "Class 2.0 : Not Supported");
  EXPECT_EQ(c1.status, advice.arg("Class 1"));

  ClassShown c12 = CheckClassOn(1, "Set fax class as Class 2 ?");
  EXPECT_EQ(c12.l1, "Class 1   : Supported");
  EXPECT_EQ(c12.l2, "Class 2   : Supported (recommended)");
  EXPECT_EQ(c12.l3, "Class 2.0 : Not Supported");

  ClassShown c120 = CheckClassOn(2, "Set fax class as Class 2.0 ?");
  EXPECT_EQ(c120.l3, "Class 2.0 : Supported");
  EXPECT_TRUE(c120.bold3);
  EXPECT_FALSE((c120.l1 + c120.l2 + c120.l3).contains("recommended"));
  EXPECT_EQ(c120.says, "The modem reports: 0,1,2,2.0. Tolvane recommends Class 2.0.");

  // The modem that lists classes it cannot run: what it says, what it does.
  ClassShown liar = CheckClassOn(3, "Set fax class as Class 1 ?");
  EXPECT_EQ(liar.l1, "Class 1   : Supported (recommended)");
  EXPECT_EQ(liar.l2, "Class 2   : Not Supported");
  EXPECT_EQ(liar.l3, "Class 2.0 : Not Supported");
  EXPECT_FALSE(liar.bold3);
  EXPECT_TRUE(liar.says.startsWith("The modem reports: 0,1,2,2.0, but it refuses to switch to "
                                   "Class 2.0 and 2."))
      << liar.says.toStdString();
}

TEST_F(ModemUtilities, ModemResetSendsThePrefixedCopyAndStoresTheStrings) {
  faxtest::SimModem sim("class120", {});
  ASSERT_TRUE(sim.Started());
  m_home.SetCom(3, sim.Link());
  app::Settings.ComPort = 2;
  app::Settings.ResetString = "AT&F";
  app::SaveSettings();
  QString status;
  sendtest::WhenModal<TResetModemForm>([](TResetModemForm&) { return true; },
                                       [&](TResetModemForm& f) {
                                         f.ResetStringEdit()->setText("Z");
                                         f.ComPortGroup()->SetItemIndex(2);
                                         sendtest::Click(f, "Button3");
                                         status = LabelText(f, "status");
                                         f.ComPortGroup()->SetItemIndex(4);
                                         sendtest::Click(f, "OkButton");
                                       });
  faxsend::ShowModemReset(nullptr);
  EXPECT_EQ(status, "Modem reset"); // "Z" alone gets no answer: it went out as ATZ
  app::TSettings stored;
  app::LoadSettings(stored, m_home.Ini());
  EXPECT_EQ(stored.ResetString, "Z"); // the edit kept its text
  EXPECT_EQ(stored.ComPort, 2);       // the dialog's port is not stored
}

} // namespace
