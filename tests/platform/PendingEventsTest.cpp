#include "platform/PendingEvents.h"

#include <gtest/gtest.h>

TEST(PendingEvents, HookRunsOncePerCallAndCanBeRemoved) {
  int calls = 0;
  platform::setProcessPendingEventsHook([&] { ++calls; });
  platform::processPendingEvents();
  platform::processPendingEvents();
  EXPECT_EQ(calls, 2);
  platform::setProcessPendingEventsHook(nullptr);
  platform::processPendingEvents();
  EXPECT_EQ(calls, 2);
}
