// Starting the program itself: one copy per data folder, and the files a
// first start makes.

#include "tests/app/AppGuiTestKit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

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
      15000))
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
      15000));
  again->terminate();
  again->waitForFinished(5000);
}

namespace {
// Process ids whose command line contains `text`.
std::vector<pid_t> processesWith(const std::string& text) {
  std::vector<pid_t> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    const std::string cmdline(std::istreambuf_iterator<char>(in), {});
    if (cmdline.find(text) != std::string::npos)
      found.push_back(pid_t(std::stol(name)));
  }
  return found;
}
} // namespace

// A desktop logout sends SIGTERM: the program closes as Exit does, and the
// demo's modem simulator ends with it instead of being left running.
TEST(Startup, TerminationClosesTheDemoLikeExit) {
  DataFolder data;
  QObject owner;
  auto* p = new QProcess(&owner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  p->setProcessEnvironment(env);
  p->start(QStringLiteral(TOLVANE_EXE), {QStringLiteral("--demo"), QStringLiteral("--data-dir"),
                                         QString::fromStdString(data.Path())});
  ASSERT_TRUE(p->waitForStarted(5000));
  std::vector<pid_t> simulator;
  ASSERT_TRUE(WaitFor(
      [&] {
        simulator = processesWith("tolvane-modemsim");
        std::erase_if(simulator, [&](pid_t pid) {
          std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
          const std::string cmd(std::istreambuf_iterator<char>(in), {});
          return cmd.find(data.Path()) == std::string::npos;
        });
        return !simulator.empty() && std::filesystem::exists(data.Path() + "TOVREC.CDX");
      },
      20000))
      << "the demo did not start its simulator";
  QTest::qWait(1500); // the window and its greeting are up
  ::kill(pid_t(p->processId()), SIGTERM);
  ASSERT_TRUE(p->waitForFinished(20000)) << "SIGTERM did not end the program";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_TRUE(WaitFor([&] { return ::kill(simulator.front(), 0) != 0; }, 5000))
      << "the modem simulator was left running";
}
