// The main-thread dispatcher served by the Qt event loop.

#include "platform/PendingEvents.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

TEST(QtMainThreadDispatcher, SendAndPostRunInTheQtLoop) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name};
  QCoreApplication app(argc, argv);
  platform::installQtPlatform();
  std::thread::id ranOn;
  bool sent = false;
  std::atomic<int> posted{0};
  std::thread worker([&] {
    sent =
        platform::mainThreadDispatcher().send([&] { ranOn = std::this_thread::get_id(); }, 1000ms);
    platform::mainThreadDispatcher().post([&] { ++posted; });
    platform::mainThreadDispatcher().post([&] { QCoreApplication::quit(); });
  });
  QTimer::singleShot(5000, &app, [] { QCoreApplication::quit(); }); // guard
  app.exec();
  worker.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(posted, 1);

  // processPendingEvents() now pumps the Qt loop.
  int later = 0;
  platform::mainThreadDispatcher().post([&] { later = 1; });
  platform::processPendingEvents();
  EXPECT_EQ(later, 1);
  platform::uninstallQtPlatform();
}
