// A Com entry that is a SIP line, through the real windows: Preferences
// sets it up (the password goes to a real desktop keyring, never to
// TOV.INI), and the main window starts the line, registers with kamailio
// and receives a fax that a second tolvane-sipmodem sends through it.

#include "tests/app/AppGuiTestKit.h"
#include "tests/app/DesktopServices.h"

#include "SipCallRig.h"
#include "app/SecretStore.h"
#include "app/SipLines.h"
#include "app/TPreferences.h"
#include "core/Settings.h"
#include "core/SipLineSettings.h"
#include "platform/ProgramDir.h"
#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace appgui;
namespace hook = appwidgets::MessageBoxHook;

namespace {

// One session bus and keyring for the whole process: the secret store's
// client library keeps its first bus connection for good.
struct Desktop {
  QTemporaryDir dir;
  std::unique_ptr<PrivateSessionBus> bus;
  std::unique_ptr<DesktopKeyring> keyring;
};

Desktop& SharedDesktop() {
  static Desktop desktop;
  if (!desktop.bus) {
    const std::string path = desktop.dir.path().toStdString() + "/";
    desktop.bus = std::make_unique<PrivateSessionBus>(path);
    if (desktop.bus->Ready())
      desktop.keyring = std::make_unique<DesktopKeyring>(path);
  }
  return desktop;
}
bool g_busChosen = false;

// Why the keyring is not there; empty when it is.
std::string KeyringProblem() {
  g_busChosen = true;
  Desktop& d = SharedDesktop();
  if (d.keyring && d.keyring->Ready())
    return {};
  std::ifstream log(d.dir.path().toStdString() + "/keyring.log");
  return "no gnome-keyring-daemon on a private bus: " +
         std::string(std::istreambuf_iterator<char>(log), {});
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Type(QWidget* w, const char* name, const QString& text) {
  auto* edit = Find<QLineEdit>(w, name);
  ASSERT_NE(edit, nullptr) << name;
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// Makes Com2 a registering SIP line through the page's controls.
void SetUpComTwo(TPreferences& prefs, const QString& password) {
  auto* pages = Find<QTabWidget>(&prefs, "Pages");
  pages->setCurrentWidget(Find<QWidget>(&prefs, "SipLinePage"));
  Find<QComboBox>(&prefs, "SipComPort")->setCurrentIndex(1);
  QTest::mouseClick(Find<QCheckBox>(&prefs, "SipEnabled"), Qt::LeftButton);
  Type(&prefs, "SipUser", "4930123456");
  Type(&prefs, "SipPassword", password);
  Type(&prefs, "SipRegistrar", "sip.example.net");
}

// Pictures for looking at the windows, when TOLVANE_SHOTS_DIR names a folder.
void SaveShot(QWidget& w, const char* name) {
  if (const char* shots = std::getenv("TOLVANE_SHOTS_DIR"))
    w.grab().save(QString::fromLocal8Bit(shots) + "/" + name);
}

// Com1 as this SIP line, the program finding tolvane-sipmodem on PATH as
// an installed one would.
void SipLineOnCom1(DataFolder& data, const app::SipLineSettings& line) {
  const QString sipmodemDir = QFileInfo(QStringLiteral(TOLVANE_SIPMODEM)).absolutePath();
  qputenv("PATH", (sipmodemDir + ":" + qEnvironmentVariable("PATH")).toUtf8());
  data.WriteIni("Ports", "Com1", app::SipLineLink(1));
  data.WriteIni("Modem", "FaxClass", "1");
  app::SaveSipLine(1, line, platform::IniFileName());
}

std::string Section(int com) {
  return "SipLine" + std::to_string(com);
}

} // namespace

TEST(SipLinePreferences, ALineIsSetThroughTheControlsAndItsPasswordGoesToTheKeyring) {
  ASSERT_EQ(KeyringProblem(), "");
  DataFolder data;
  app::LoadSettings();
  {
    TPreferences prefs;
    prefs.show();
    SetUpComTwo(prefs, "pa55-w0rd");
    SaveShot(prefs, "preferences-sip-line.png");
    // The modem page follows: Com2's device is now the line's modem.
    EXPECT_EQ(Find<QComboBox>(&prefs, "PortDevice2")->currentText().toStdString(),
              data.Path() + "sipline-com2");
    // Com3 made a line without an account: Accept says so and stays.
    Find<QComboBox>(&prefs, "SipComPort")->setCurrentIndex(2);
    QTest::mouseClick(Find<QCheckBox>(&prefs, "SipEnabled"), Qt::LeftButton);
    hook::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(Find<QPushButton>(&prefs, "AcceptButton"), Qt::LeftButton);
    EXPECT_EQ(hook::lastText().toStdString(),
              "Com3: A SIP line needs the registrar of its account, or for direct calls the "
              "address it calls.");
    EXPECT_TRUE(prefs.isVisible());
    QTest::mouseClick(Find<QCheckBox>(&prefs, "SipEnabled"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(&prefs, "AcceptButton"), Qt::LeftButton);
    EXPECT_EQ(prefs.result(), 1);
  }
  EXPECT_EQ(data.ReadIni(Section(2), "Enabled"), "1");
  EXPECT_EQ(data.ReadIni(Section(2), "User"), "4930123456");
  EXPECT_EQ(data.ReadIni(Section(2), "Registrar"), "sip.example.net");
  EXPECT_EQ(data.ReadIni("Ports", "Com2"), data.Path() + "sipline-com2");
  EXPECT_EQ(data.ReadIni(Section(3), "Enabled"), "") << "an entry left as it was is not written";
  const std::string ini = ReadAll(data.Path() + "TOV.INI");
  EXPECT_EQ(ini.find("pa55-w0rd"), std::string::npos) << ini;
  const app::SecretRead stored = app::ReadSecret("sip:4930123456@sip.example.net");
  EXPECT_TRUE(stored.Found) << stored.Error.toStdString();
  EXPECT_EQ(stored.Value.toStdString(), "pa55-w0rd");

  // Opened again, the page shows the line (the password stays in the store).
  TPreferences again;
  again.show();
  EXPECT_EQ(Find<QComboBox>(&again, "SipComPort")->currentIndex(), 1);
  EXPECT_TRUE(Find<QCheckBox>(&again, "SipEnabled")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(&again, "SipUser")->text().toStdString(), "4930123456");
  EXPECT_EQ(Find<QLineEdit>(&again, "SipPassword")->text().toStdString(), "");
}

// Without a password store the password is not written anywhere: the user
// is told why, and the line may use it until the program ends.
TEST(SipLinePreferences, WithoutAPasswordStoreThePasswordIsKeptForThisRunOnly) {
  if (g_busChosen)
    GTEST_SKIP() << "needs a process of its own (ctest runs each test so)";
  DataFolder data;
  qputenv("DBUS_SESSION_BUS_ADDRESS",
          QByteArray("unix:path=") + QByteArray::fromStdString(data.Path()) + "no-bus");
  app::LoadSettings();
  TPreferences prefs;
  prefs.show();
  SetUpComTwo(prefs, "only-for-now");
  hook::setNextAnswer(QMessageBox::Ok);
  QTest::mouseClick(Find<QPushButton>(&prefs, "AcceptButton"), Qt::LeftButton);
  EXPECT_EQ(prefs.result(), 1);
  EXPECT_TRUE(hook::lastText().startsWith("The password of the SIP line on Com2 could not be put "
                                          "in the desktop's password store ("))
      << hook::lastText().toStdString();
  EXPECT_EQ(ReadAll(data.Path() + "TOV.INI").find("only-for-now"), std::string::npos);
  const app::SecretRead kept = app::ReadSecret("sip:4930123456@sip.example.net");
  EXPECT_FALSE(kept.Error.isEmpty());
  EXPECT_EQ(kept.Value.toStdString(), "only-for-now");
}

// The main window runs the line, shows its registration and, in receive
// mode, answers a SIP call as it answers a modem's: the fax arrives whole.
TEST(SipLineMainWindow, RegistersAndReceivesAFaxOverSip) {
  if (std::system("command -v kamailio > /dev/null") != 0)
    GTEST_SKIP() << "kamailio is not installed";
  ASSERT_EQ(KeyringProblem(), "");
  sipcall::SipCallRig rig;
  const std::string at = rig.startRegistrar();
  ASSERT_NE(at, "");
  DataFolder data;
  app::SipLineSettings line;
  line.Enabled = true;
  line.User = "502";
  line.Registrar = at;
  line.Listen = "127.0.0.1:" + std::to_string(sipcall::SipCallRig::freeSipPort());
  SipLineOnCom1(data, line);
  ASSERT_EQ(app::WriteSecret(QString::fromStdString(line.SecretKey()), "s3cret").toStdString(), "");

  TMainScreen w;
  w.show();
  QLabel* status = Find<QLabel>(&w, "status");
  QLabel* lineState = Find<QLabel>(&w, "SipLineStatus");
  const std::string lineLog = data.Path() + "sipline-com1.log";
  const QString registered = QString::fromStdString("SIP line registered with " + at);
  ASSERT_TRUE(WaitFor([&] { return lineState->text() == registered; }, 15000))
      << lineState->text().toStdString() << ReadAll(lineLog);
  SaveShot(w, "mainwindow-sip-registered.png");

  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  ASSERT_TRUE(w.Receiving()) << hook::lastText().toStdString();
  ASSERT_TRUE(
      WaitFor([&] { return status->text().startsWith("Waiting for incoming call"); }, 30000))
      << status->text().toStdString();
  EXPECT_EQ(lineState->text(), registered);

  interop::Child& caller = rig.registeredModem("601", "s3cret");
  ASSERT_TRUE(sipcall::SipCallRig::waitForText(caller, "registered with " + at, 10))
      << caller.log();
  w.SetCurrentPage(1); // the Received list, where the fax is to appear
  std::string document;
  auto sender = rig.startSend("502", &document);
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");
  bool shot = false;
  const bool arrived = WaitFor(
      [&] {
        if (!shot && status->text().contains(" page ")) {
          shot = true;
          SaveShot(w, "mainwindow-sip-receiving.png");
        }
        return grid->model()->rowCount() >= 1;
      },
      120000);
  ASSERT_TRUE(arrived) << sender->log() << caller.log() << ReadAll(lineLog);
  EXPECT_EQ(sender->wait(30), 0) << sender->log();
  SaveShot(w, "mainwindow-sip-received.png");
  EXPECT_NE(ReadAll(lineLog).find("incoming call from 601"), std::string::npos) << ReadAll(lineLog);

  interop::TempDir scratch;
  const auto sent = interop::exportApf(document, scratch);
  const auto got = interop::exportApf(data.Path() + "receive/FAX0001.APF", scratch);
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(interop::compareRows(sent[0], got[0], 80), "");

  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  w.close();
}

// A line that cannot start (its SIP port is taken by another program) says
// why on the status line, in the line's own words; the window goes on.
TEST(SipLineMainWindow, ALineThatCannotStartSaysWhy) {
  DataFolder data;
  const QString sipmodemDir = QFileInfo(QStringLiteral(TOLVANE_SIPMODEM)).absolutePath();
  qputenv("PATH", (sipmodemDir + ":" + qEnvironmentVariable("PATH")).toUtf8());
  // A UDP port held by this test for the line's SIP.
  const int taken = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), length), 0);
  getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
  app::SipLineSettings line;
  line.Enabled = true;
  line.Peer = "127.0.0.1:5999";
  line.Listen = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  app::SaveSipLine(2, line, platform::IniFileName());

  TMainScreen w;
  w.show();
  const QString expected = QString::fromStdString(
      "The SIP line of Com2 did not start: tolvane-sipmodem: cannot open the SIP port " +
      line.Listen + " (Address already in use)");
  QLabel* lineState = Find<QLabel>(&w, "SipLineStatus");
  EXPECT_TRUE(WaitFor([&] { return lineState->text() == expected; }, 5000))
      << lineState->text().toStdString();
  w.close();
  close(taken);
}

// The line's state keeps its own place while receive mode's messages come
// and go on the status line; a Com entry that stops being a SIP line takes
// its state away.
TEST(SipLineMainWindow, TheLineStateStaysBesideReceiveModeMessages) {
  DataFolder data;
  app::SipLineSettings line;
  line.Enabled = true;
  line.Peer = "127.0.0.1:5999";
  line.Listen = "127.0.0.1:" + std::to_string(sipcall::SipCallRig::freeSipPort());
  SipLineOnCom1(data, line);

  TMainScreen w;
  w.show();
  QLabel* status = Find<QLabel>(&w, "status");
  QLabel* lineState = Find<QLabel>(&w, "SipLineStatus");
  const QString ready = QStringLiteral("SIP line ready for direct calls");
  ASSERT_TRUE(WaitFor([&] { return lineState->text() == ready; }, 10000))
      << lineState->text().toStdString();
  EXPECT_TRUE(lineState->isVisible());
  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  ASSERT_TRUE(w.Receiving()) << hook::lastText().toStdString();
  ASSERT_TRUE(
      WaitFor([&] { return status->text().startsWith("Waiting for incoming call"); }, 30000))
      << status->text().toStdString();
  EXPECT_EQ(lineState->text(), ready);
  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !w.Receiving(); }, 30000));

  line.Enabled = false;
  app::SaveSipLine(1, line, platform::IniFileName());
  w.findChild<app::SipLines*>()->Update();
  EXPECT_FALSE(lineState->isVisible());
  EXPECT_EQ(lineState->text(), "");
  w.close();
}
