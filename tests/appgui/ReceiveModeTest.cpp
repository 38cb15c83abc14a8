// Receive mode of the real main window through the simulated modem: a remote
// fax machine calls, the window answers, stores and lists the fax.

#include "tests/appgui/AppGuiTestKit.h"

#include "app/FaxTableModel.h"
#include "app/widgets/MessageBoxes.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTime>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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
    m_process.start(QStringLiteral(TOLVANE_MODEMSIM),
                    {"--modem", "com1 model=class120 link=" + link, "--number",
                     QString::fromStdString("5550105 fax ident=\"REMOTE ONE\" file=" + tif),
                     "--number",
                     QString::fromStdString("5550106 fax ident=DROPPER drop=2 file=" + tif),
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
  return WaitFor([&] { return status->text().startsWith("Waiting for incoming call"); }, 30000);
}

} // namespace

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

  // Carrier lost in mid-page: a message, no record, no file; receive mode stays on.
  hook::setNextAnswer(QMessageBox::Ok);
  ASSERT_TRUE(waitForIdle(w));
  sim.Call("5550106");
  ASSERT_TRUE(WaitFor(
      [] { return hook::lastText().startsWith("Failed to receive incoming fax:\r\r"); }, 60000))
      << sim.Log();
  EXPECT_NE(hook::lastText(), "Failed to receive incoming fax:\r\rUnknown error");
  EXPECT_FALSE(std::filesystem::exists(data.Path() + "receive/FAX0003.APF"));
  EXPECT_EQ(grid->model()->rowCount(), 2);
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
  ASSERT_TRUE(waitForRows(w, 3, seen)) << sim.Log() << seen.join(QChar(10)).toStdString();
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "receive/FAX0003.APF"));

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
