// The main-thread dispatcher on the plain event loop, and the tick clock.

#include "platform/MainThreadDispatcher.h"
#include "platform/TickClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

namespace {

TEST(TickClock, SecondsToTicks) {
  EXPECT_EQ(platform::secondsToTicks(10), 182);
  EXPECT_EQ(platform::secondsToTicks(60), 1092);
  EXPECT_EQ(platform::secondsToTicks(2), 36);
  EXPECT_EQ(platform::secondsToTicks(0), 0);
}

TEST(TickClock, CountdownsEndOnTickBoundaries) {
  const uint32_t start = platform::tickCount();
  EXPECT_EQ(platform::msUntilTick(start - 5, 3), 0u); // already over
  const uint32_t left = platform::msUntilTick(start, 2);
  EXPECT_GT(left, 55u);
  EXPECT_LE(left, 110u);
  std::this_thread::sleep_for(std::chrono::milliseconds(left + 5));
  EXPECT_GE(platform::tickCount() - start, 2u);
}

TEST(PlainEventLoop, PostedWorkRunsOnTheLoopThreadInOrder) {
  platform::PlainEventLoop loop;
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i)
      loop.post([&order, i] { order.push_back(i); });
    loop.post([&] { loop.quit(); });
  });
  loop.run();
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(PlainEventLoop, ProcessPendingRunsOnlyWhatWasQueued) {
  platform::PlainEventLoop loop;
  int runs = 0;
  loop.post([&] {
    ++runs;
    loop.post([&] { ++runs; }); // queued by the work: waits for the next call
  });
  EXPECT_EQ(loop.processPending(), 1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(loop.processPending(), 1);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(loop.processPending(), 0);
}

TEST(PlainEventLoop, SendWaitsForTheResult) {
  platform::PlainEventLoop loop;
  std::atomic<bool> done{false};
  std::thread::id ranOn;
  bool ran = false;
  std::thread worker([&] {
    ran = loop.send([&] { ranOn = std::this_thread::get_id(); }, 1000ms);
    done = true;
    loop.quit();
  });
  loop.run();
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  // On the main thread itself a send runs at once.
  int direct = 0;
  EXPECT_TRUE(loop.send([&] { direct = 1; }, 0ms));
  EXPECT_EQ(direct, 1);
}

TEST(PlainEventLoop, ATimedOutSendIsWithdrawnAndNeverRunsLate) {
  platform::PlainEventLoop loop;
  std::atomic<int> runs{0};
  bool ran = true;
  std::thread worker([&] { ran = loop.send([&] { ++runs; }, 100ms); });
  worker.join(); // nobody served the loop meanwhile
  EXPECT_FALSE(ran);
  loop.processPending();
  EXPECT_EQ(runs, 0);
}

TEST(PlainEventLoop, ASendThatStartedIsWaitedFor) {
  platform::PlainEventLoop loop;
  std::atomic<bool> finished{false};
  bool ran = false;
  std::thread worker([&] {
    ran = loop.send(
        [&] {
          std::this_thread::sleep_for(150ms);
          finished = true;
        },
        50ms);
  });
  loop.runFor(300ms);
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(finished);
}

TEST(PlainEventLoop, RunForReturnsAfterItsTime) {
  platform::PlainEventLoop loop;
  const auto start = std::chrono::steady_clock::now();
  loop.runFor(60ms);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
}

TEST(MainThreadDispatcher, CurrentDispatcherCanBeReplaced) {
  platform::PlainEventLoop loop;
  platform::setMainThreadDispatcher(&loop);
  EXPECT_EQ(&platform::mainThreadDispatcher(), &loop);
  platform::setMainThreadDispatcher(nullptr);
  EXPECT_NE(&platform::mainThreadDispatcher(), &loop);
}

TEST(MainThreadDispatcher, UncaughtExceptionsGoToTheApplicationHandler) {
  std::string seen;
  platform::setApplicationExceptionHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      seen = ex.what();
    }
  });
  platform::reportApplicationException(std::make_exception_ptr(std::runtime_error("boom")));
  platform::setApplicationExceptionHandler({});
  EXPECT_EQ(seen, "boom");
}

} // namespace
