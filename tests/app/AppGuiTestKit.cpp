#include "tests/app/AppGuiTestKit.h"

#include "core/FaxStores.h"
#include "core/FaxTables.h"
#include "core/IniFile.h"
#include "widgets/MessageBoxes.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "xbase/Table.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace appgui {

QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "test_appgui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    // The fax components reach the window through the Qt event loop.
    platform::installQtPlatform();
    appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
    return a;
  }();
  return *app;
}

DataFolder::DataFolder() : DataFolder(std::string()) {}

DataFolder::DataFolder(const std::string& parent)
    : m_dir(parent.empty()
                ? QTemporaryDir()
                : QTemporaryDir(QString::fromStdString(parent) + QStringLiteral("/data-XXXXXX"))) {
  TestApp();
  platform::setProgramDir(m_dir.path().toStdString());
  WriteIni("Modem", "ComPort", "0");
  appwidgets::MessageBoxHook::clear();
}

DataFolder::~DataFolder() {
  platform::setProgramDir("");
}

std::string DataFolder::Path() const {
  return platform::withTrailingSlash(m_dir.path().toStdString());
}

void DataFolder::WriteIni(const std::string& section, const std::string& key,
                          const std::string& value) {
  app::IniFile(Path() + "TOV.INI").WriteString(section, key, value);
}

std::string DataFolder::ReadIni(const std::string& section, const std::string& key) const {
  return app::IniFile(Path() + "TOV.INI").ReadString(section, key, "");
}

void DataFolder::AddSent(const SentRecord& r) {
  xbase::TableEnv::setDeleted(true);
  xbase::Table table;
  ASSERT_TRUE(app::OpenFaxDBF(table));
  table.append();
  table.setField("SUBJECT", r.Subject);
  table.setLogical("SENT", r.Sent);
  table.setDate("DATESENT", r.Date);
  table.setField("TIMESENT", r.Time);
  table.setField("RECIPIENT", r.Recipient);
  table.setField("PHONE", r.Phone);
  table.post();
  table.close();
}

void DataFolder::AddReceived(const ReceivedRecord& r) {
  xbase::TableEnv::setDeleted(true);
  xbase::Table table;
  ASSERT_TRUE(app::OpenRecFaxDBF(table));
  app::AppendReceivedFax(table, {r.Date, r.Time, r.From, r.Pages, r.FaxFile});
  if (!r.Notes.empty())
    app::WriteReceivedNotes(table, table.recNo(), r.Notes);
  table.close();
}

std::string DataFolder::WriteReceivedFile(const std::string& name) {
  std::filesystem::create_directories(Path() + "receive");
  const std::string path = Path() + "receive/" + name;
  std::ofstream(path) << "APF page data";
  return path;
}

bool WaitFor(const std::function<bool()>& pred, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!pred() && timer.elapsed() < ms)
    QTest::qWait(20);
  return pred();
}

void OnNextModal(const char* className, std::function<void(QWidget*)> action) {
  auto* poll = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(poll, &QTimer::timeout, poll, [poll, className, action, started] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->inherits(className) && modal->isVisible()) {
      poll->stop();
      poll->deleteLater();
      action(modal);
    } else if (started->elapsed() > 10000) {
      poll->stop();
      poll->deleteLater();
      ADD_FAILURE() << "no modal " << className << " appeared";
      if (modal)
        modal->close();
    }
  });
  poll->start(20);
}

} // namespace appgui
