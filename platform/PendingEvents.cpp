#include "platform/PendingEvents.h"

#include <atomic>
#include <utility>

namespace platform {

namespace {
std::function<void()>& hookSlot() {
  static std::function<void()> hook;
  return hook;
}
std::atomic<bool> quitFlag{false};
} // namespace

void setProcessPendingEventsHook(std::function<void()> hook) { hookSlot() = std::move(hook); }

void processPendingEvents() {
  if (auto& hook = hookSlot())
    hook();
}

void requestQuit() { quitFlag = true; }
bool quitRequested() { return quitFlag; }
void clearQuitRequest() { quitFlag = false; }

} // namespace platform
