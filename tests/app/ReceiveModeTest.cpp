// Receive mode of the real main window through the simulated modem: a remote
// fax machine calls, the window answers, stores and lists the fax.

#include "tests/app/AppGuiTestKit.h"
#include "tests/app/DesktopServices.h"

#include "app/FaxTableModel.h"
#include "core/Settings.h"
#include "serial/TFxComPort.h"
#include "widgets/MessageBoxes.h"
#include "xbase/Table.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTime>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace appgui;
namespace hook = appwidgets::MessageBoxHook;

namespace {

class Simulator {
public:
  explicit Simulator(const std::string& dir) : m_dir(dir) {
    const std::string tif = TOLVANE_SOURCE_DIR "/resources/demo/demo-incoming.tif";
    const QString link = QString::fromStdString(dir + "com1");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(QString::fromStdString(dir + "sim.log"));
    m_process.start(
        QStringLiteral(TOLVANE_MODEMSIM),
        {"--modem", "com1 model=class120 link=" + link, "--number",
         QString::fromStdString("5550105 fax ident=\"REMOTE ONE\" ecm=1 coding=mmr file=" + tif),
         "--number", QString::fromStdString("5550106 fax ident=DROPPER drop=2 file=" + tif),
         "--control", QString::fromStdString(dir + "ctl"), "--speed", "4"});
    m_process.waitForStarted(5000);
    WaitFor([&] { return std::filesystem::exists(dir + "com1"); }, 10000);
  }
  ~Simulator() {
    m_process.terminate();
    m_process.waitForFinished(5000);
  }
  void Call(const std::string& from) {
    std::ofstream(m_dir + "ctl") << "call " << from << " com1\n";
  }
  std::string Log() const {
    std::ifstream in(m_dir + "sim.log");
    return {std::istreambuf_iterator<char>(in), {}};
  }

private:
  std::string m_dir;
  QProcess m_process;
};

QString cell(QTableView* grid, int row, int column) {
  return grid->model()->index(row, column).data().toString();
}

// Waits for the list to reach `rows`, noting every status text on the way.
bool waitForRows(TMainScreen& w, int rows, QStringList& statusSeen, int ms = 60000) {
  QLabel* status = Find<QLabel>(&w, "status");
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");
  return WaitFor(
      [&] {
        if (statusSeen.isEmpty() || statusSeen.last() != status->text())
          statusSeen << status->text();
        return grid->model()->rowCount() >= rows;
      },
      ms);
}

// The modem is set up and waits for a ring (a call is placed only then: a
// ring in the middle of the modem set-up is a case of its own).
bool waitForIdle(TMainScreen& w) {
  QLabel* status = Find<QLabel>(&w, "status");
  return WaitFor([&] { return status->text().startsWith("Waiting for incoming call"); }, 90000);
}

// Half a second of an 880 Hz tone, 16-bit mono at 22,050 samples a second.
void writeBell(const std::string& path) {
  constexpr uint32_t rate = 22050, samples = rate / 2;
  std::ofstream out(path, std::ios::binary);
  auto put = [&](uint32_t v, int bytes) { out.write(reinterpret_cast<const char*>(&v), bytes); };
  out << "RIFF";
  put(36 + samples * 2, 4);
  out << "WAVEfmt ";
  put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(rate * 2, 4), put(2, 2), put(16, 2);
  out << "data";
  put(samples * 2, 4);
  for (uint32_t i = 0; i < samples; ++i)
    put(uint16_t(int16_t(12000 * std::sin(2 * 3.14159265 * 880 * i / rate))), 2);
}

} // namespace

TEST(ReceiveMode, AReceivedFaxRingsTheBellAndIsAnnouncedOnTheDesktop) {
  DataFolder data;
  PrivateSessionBus bus(data.Path());
  ASSERT_TRUE(bus.Ready()) << "no private dbus-daemon";
  RecordedSoundServer sound(data.Path());
  ASSERT_TRUE(sound.Ready()) << "no private pulseaudio";
  writeBell(data.Path() + "bell.wav");
  Simulator sim(data.Path());
  data.WriteIni("Ports", "Com1", data.Path() + "com1");
  data.WriteIni("Modem", "FaxClass", "1"); // Class 1
  data.WriteIni("Receive", "Wav", data.Path() + "bell.wav");
  TMainScreen w;
  w.show();
  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  ASSERT_TRUE(w.Receiving()) << hook::lastText().toStdString();
  ASSERT_TRUE(waitForIdle(w));
  QTest::qWait(500);
  EXPECT_EQ(sound.Peak(), 0) << "sound before any fax";
  EXPECT_TRUE(bus.Recorder().shown.isEmpty());

  sim.Call("5550105");
  QStringList seen;
  ASSERT_TRUE(waitForRows(w, 1, seen)) << sim.Log() << seen.join('\n').toStdString();
  ASSERT_TRUE(WaitFor([&] { return !bus.Recorder().shown.isEmpty(); }, 10000))
      << "no notification";
  const auto& shown = bus.Recorder().shown.front();
  EXPECT_EQ(shown.app, "Tolvane");
  EXPECT_EQ(shown.summary, "Fax received");
  EXPECT_EQ(shown.body, "1 page from REMOTE ONE");
  // The bell reaches the sound server at about the loudness it was written with.
  EXPECT_TRUE(WaitFor([&] { return sound.Peak() > 8000; }, 10000)) << "peak " << sound.Peak();
  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  w.close();
}

TEST(ReceiveMode, CallsAreAnsweredStoredListedAndFailuresReported) {
  DataFolder data;
  Simulator sim(data.Path());
  data.WriteIni("Ports", "Com1", data.Path() + "com1");
  data.WriteIni("Modem", "FaxClass", "1"); // Class 1
  data.WriteIni("User", "Fax", "555 1001");
  data.WriteIni("Resetting", "AfterString", "ATZ");
  TMainScreen w;
  w.show();
  QPushButton* receive = Find<QPushButton>(&w, "ReceiveButton");
  QTest::mouseClick(receive, Qt::LeftButton);
  ASSERT_TRUE(w.Receiving()) << hook::lastText().toStdString();
  EXPECT_EQ(receive->text(), "STOP");
  EXPECT_EQ(receive->statusTip(), "Stop receiving faxes");
  EXPECT_FALSE(Find<QAction>(&w, "mnuRebuildIndexes")->isEnabled());
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");

  QStringList seen;
  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550105");
  if (!waitForRows(w, 1, seen)) {
    QTest::mouseClick(receive, Qt::LeftButton); // the port's trace is written when it closes
    std::ifstream trace(data.Path() + "TOVRECV.TRC");
    FAIL() << sim.Log() << seen.join('\n').toStdString() << "\n"
           << std::string(std::istreambuf_iterator<char>(trace), {});
  }
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "receive/FAX0001.APF"));
  // Receive mode offers error correction and MMR, and the caller used them.
  // (The caller reports once it has hung up.)
  EXPECT_TRUE(WaitFor([&] { return sim.Log().find("call ended") != std::string::npos; }, 20000));
  EXPECT_NE(sim.Log().find("coding T.6, ecm 1"), std::string::npos) << sim.Log();
  EXPECT_TRUE(seen.filter(" [ from REMOTE ONE page ").size() > 0) << seen.join('\n').toStdString();
  EXPECT_EQ(cell(grid, 0, 2), "REMOTE ONE"); // the padding the line brings is gone
  EXPECT_EQ(cell(grid, 0, 3), "1");
  EXPECT_EQ(cell(grid, 0, 0), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
  const QTime at = QTime::fromString(cell(grid, 0, 1), QStringLiteral("HH:mm"));
  EXPECT_TRUE(at.isValid() && std::abs(at.secsTo(QTime::currentTime())) < 180);
  EXPECT_TRUE(grid->isEnabled());

  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550105");
  ASSERT_TRUE(waitForRows(w, 2, seen)) << sim.Log() << seen.join(QChar(10)).toStdString();
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "receive/FAX0002.APF"));

  // Carrier lost in mid-page: a message; the rows that arrived stay in the
  // file and are listed as an incomplete fax; receive mode stays on.
  hook::setNextAnswer(QMessageBox::Ok);
  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550106");
  ASSERT_TRUE(WaitFor(
      [] { return hook::lastText().startsWith("Failed to receive incoming fax:\r\r"); }, 60000))
      << sim.Log();
  EXPECT_FALSE(hook::lastText().startsWith("Failed to receive incoming fax:\r\rUnknown error"));
  EXPECT_TRUE(hook::lastText().endsWith("\r\rThe page that arrived is in the Received list."))
      << hook::lastText().toStdString();
  ASSERT_EQ(grid->model()->rowCount(), 3);
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "receive/FAX0003.APF"));
  xbase::Table& received = w.RecTable();
  const long keep = received.recNo();
  bool listed = false;
  for (received.first(); !received.eof(); received.next()) {
    if (received.fieldString("FAXFILE") != "FAX0003.APF")
      continue;
    listed = true;
    EXPECT_EQ(received.fieldString("FROM"), "DROPPER");
    EXPECT_EQ(received.fieldNumber("PAGES"), 1);
    EXPECT_EQ(received.fieldString("NOTES").rfind("Incomplete: ", 0), 0u)
        << received.fieldString("NOTES");
  }
  received.go(keep);
  EXPECT_TRUE(listed);
  EXPECT_TRUE(w.Receiving());

  // Closing while a fax arrives asks; No keeps the window and the call.
  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550105");
  ASSERT_TRUE(WaitFor([&] { return w.FaxInProgress(); }, 60000)) << sim.Log();
  hook::setNextAnswer(QMessageBox::No);
  w.close();
  EXPECT_EQ(hook::lastText(), "You are receiving a fax. Exit the program?");
  EXPECT_EQ(hook::lastCaption(), "Exit");
  EXPECT_TRUE(w.isVisible());
  ASSERT_TRUE(waitForRows(w, 4, seen)) << sim.Log() << seen.join(QChar(10)).toStdString();
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "receive/FAX0004.APF"));

  // Stopping sends the after-reset string and closes the port.
  QTest::mouseClick(receive, Qt::LeftButton);
  EXPECT_FALSE(w.Receiving());
  EXPECT_EQ(receive->text(), "Receive");
  EXPECT_TRUE(Find<QAction>(&w, "mnuRebuildIndexes")->isEnabled());
  std::ifstream trace(data.Path() + "TOVRECV.TRC");
  const std::string traced{std::istreambuf_iterator<char>(trace), {}};
  EXPECT_NE(traced.rfind("ATZ"), std::string::npos) << "after-reset string not sent";
  w.close();
  EXPECT_FALSE(w.isVisible()); // waiting without a call: no question
}

// Receive mode without a window: its signals tell each step, a failed call
// hands over the pages that arrived, and a modem that goes away ends it.
TEST(ReceiveModeObject, SignalsTellCallsFailuresAndAVanishedModem) {
  TestApp();
  DataFolder data;
  auto sim = std::make_unique<Simulator>(data.Path());
  data.WriteIni("Ports", "Com1", data.Path() + "com1");
  data.WriteIni("Modem", "FaxClass", "1"); // Class 1
  app::LoadSettings();
  std::filesystem::create_directory(data.Path() + "receive");

  app::ReceiveMode mode(data.Path());
  QStringList status, ended;
  std::vector<bool> changes;
  std::vector<app::ReceivedFax> received, kept;
  QString failure;
  QObject::connect(&mode, &app::ReceiveMode::StatusText, [&](const QString& t) { status << t; });
  QObject::connect(&mode, &app::ReceiveMode::ReceivingChanged,
                   [&](bool on) { changes.push_back(on); });
  QObject::connect(&mode, &app::ReceiveMode::FaxReceived,
                   [&](const app::ReceivedFax& f) { received.push_back(f); });
  QObject::connect(&mode, &app::ReceiveMode::FaxFailed,
                   [&](const QString& reason, const app::ReceivedFax& f) {
                     failure = reason;
                     kept.push_back(f);
                   });
  QObject::connect(&mode, &app::ReceiveMode::Ended, [&](const QString& t) { ended << t; });
  auto waitingForCall = [&] {
    return WaitFor(
        [&] { return !status.isEmpty() && status.last().startsWith("Waiting for incoming call"); },
        90000);
  };

  ASSERT_EQ(mode.Start(app::Settings), "");
  EXPECT_TRUE(mode.Receiving());
  EXPECT_EQ(changes, std::vector<bool>{true});
  ASSERT_TRUE(waitingForCall()) << status.join('\n').toStdString();

  sim->Call("5550105");
  ASSERT_TRUE(WaitFor([&] { return !received.empty(); }, 60000)) << sim->Log();
  EXPECT_EQ(received[0].From, "REMOTE ONE");
  EXPECT_EQ(received[0].Pages, 1);
  EXPECT_TRUE(std::filesystem::exists(received[0].File));
  EXPECT_FALSE(mode.FaxInProgress());

  ASSERT_TRUE(waitingForCall());
  sim->Call("5550106");
  ASSERT_TRUE(WaitFor([&] { return !kept.empty(); }, 60000)) << sim->Log();
  EXPECT_FALSE(failure.isEmpty());
  EXPECT_NE(failure, "Unknown error");
  EXPECT_EQ(kept[0].Pages, 1) << "the rows before the carrier was lost";
  EXPECT_TRUE(std::filesystem::exists(kept[0].File));
  EXPECT_NE(kept[0].File, received[0].File);
  EXPECT_TRUE(mode.Receiving());

  // The modem goes away (the simulator ends, as a USB modem pulled out).
  ASSERT_TRUE(waitingForCall());
  sim.reset();
  ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }, 30000)) << status.join('\n').toStdString();
  EXPECT_TRUE(ended[0].startsWith("Receive mode ended: ")) << ended[0].toStdString();
  EXPECT_FALSE(mode.Receiving());
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
  EXPECT_FALSE(mode.Port()->Open());
}

// The receive folder turns read-only while receive mode waits (a file
// system remounted read-only after an error, say): the call is reported
// with the system's reason, nothing half-made is listed, and the next call
// after the folder is writable again arrives and is listed.
TEST(ReceiveMode, AReadOnlyReceiveFolderIsReportedAndTheNextCallArrives) {
  DataFolder data;
  Simulator sim(data.Path());
  data.WriteIni("Ports", "Com1", data.Path() + "com1");
  data.WriteIni("Modem", "FaxClass", "1"); // Class 1
  TMainScreen w;
  w.show();
  const std::string folder = data.Path() + "receive";
  if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "no bind mount here (" << std::strerror(errno) << ")";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{folder};
  ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0)
      << std::strerror(errno);

  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  ASSERT_TRUE(w.Receiving()) << hook::lastText().toStdString();
  hook::clear();
  hook::setNextAnswer(QMessageBox::Ok);
  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550105");
  ASSERT_TRUE(WaitFor(
      [] { return hook::lastText().startsWith("Failed to receive incoming fax:\r\r"); }, 60000))
      << sim.Log();
  EXPECT_TRUE(hook::lastText().endsWith("write-protected")) << hook::lastText().toStdString();
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");
  EXPECT_EQ(grid->model()->rowCount(), 0);
  EXPECT_TRUE(w.Receiving());

  ::umount2(folder.c_str(), MNT_DETACH);
  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550105");
  QStringList seen;
  ASSERT_TRUE(waitForRows(w, 1, seen)) << sim.Log() << seen.join('\n').toStdString();
  QTest::mouseClick(Find<QPushButton>(&w, "ReceiveButton"), Qt::LeftButton);
  w.close();
}
