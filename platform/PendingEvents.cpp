#include "platform/PendingEvents.h"

#include <utility>

namespace platform {

namespace {
std::function<void()>& hookSlot() {
  static std::function<void()> hook;
  return hook;
}
} // namespace

void setProcessPendingEventsHook(std::function<void()> hook) { hookSlot() = std::move(hook); }

void processPendingEvents() {
  if (auto& hook = hookSlot())
    hook();
}

} // namespace platform
