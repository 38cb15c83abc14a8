// Starting the program itself: one copy per data folder, and the files a
// first start makes.

#include "tests/appgui/AppGuiTestKit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <gtest/gtest.h>

using namespace appgui;

namespace {

QProcess* startProgram(const std::string& dir, QObject* owner) {
  auto* p = new QProcess(owner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  p->setProcessEnvironment(env);
  p->setProcessChannelMode(QProcess::SeparateChannels);
  p->start(QStringLiteral(TOLVANE_EXE),
           {QStringLiteral("--data-dir"), QString::fromStdString(dir)});
  return p;
}

std::map<std::string, std::filesystem::file_time_type> tableTimes(const std::string& dir) {
  std::map<std::string, std::filesystem::file_time_type> times;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() != ".INI" && entry.path().extension() != ".lock")
      times[entry.path().filename().string()] = entry.last_write_time();
  return times;
}

} // namespace

TEST(Startup, FirstStartMakesTablesAndASecondStartOnlyBringsTheFirstForward) {
  DataFolder data;
  QObject owner;
  QProcess* first = startProgram(data.Path(), &owner);
  ASSERT_TRUE(first->waitForStarted(5000));
  // The first copy has made its tables and the receive folder once its lock is taken.
  ASSERT_TRUE(WaitFor(
      [&] {
        return std::filesystem::exists(data.Path() + "TOVREC.CDX") &&
               std::filesystem::exists(data.Path() + "tolvane.lock");
      },
      20000));
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "TOV.DBF"));
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "TOV.CDX"));
  EXPECT_TRUE(std::filesystem::is_directory(data.Path() + "receive"));
  QTest::qWait(1500); // its window is up and its server listens
  const auto before = tableTimes(data.Path());

  QProcess* second = startProgram(data.Path(), &owner);
  ASSERT_TRUE(second->waitForFinished(15000)) << "second copy did not end";
  EXPECT_EQ(second->exitCode(), 0);
  QByteArray said;
  EXPECT_TRUE(WaitFor(
      [&] {
        said += first->readAllStandardError();
        return said.contains("brought forward");
      },
      5000))
      << "first copy was not asked to show itself";
  EXPECT_EQ(tableTimes(data.Path()), before) << "second copy touched the tables";
  EXPECT_EQ(first->state(), QProcess::Running);
  first->terminate();
  first->waitForFinished(5000);
}

// A copy that was killed holds nothing: the next start is a first start
// again, and it in turn answers a later copy.
TEST(Startup, AKilledCopyLeavesNoLockBehind) {
  DataFolder data;
  QObject owner;
  QProcess* first = startProgram(data.Path(), &owner);
  ASSERT_TRUE(first->waitForStarted(5000));
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(data.Path() + "TOVREC.CDX"); }, 20000));
  QTest::qWait(1000);
  first->kill();
  ASSERT_TRUE(first->waitForFinished(5000));

  QProcess* again = startProgram(data.Path(), &owner);
  ASSERT_TRUE(again->waitForStarted(5000));
  QTest::qWait(1500);
  EXPECT_EQ(again->state(), QProcess::Running) << "the killed copy's lock kept the program out";

  QProcess* later = startProgram(data.Path(), &owner);
  ASSERT_TRUE(later->waitForFinished(15000));
  QByteArray said;
  EXPECT_TRUE(WaitFor(
      [&] {
        said += again->readAllStandardError();
        return said.contains("brought forward");
      },
      5000));
  again->terminate();
  again->waitForFinished(5000);
}
