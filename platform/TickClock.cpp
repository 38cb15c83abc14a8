#include "platform/TickClock.h"

#include <chrono>

namespace platform {

namespace {
uint64_t nowMs64() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
} // namespace

uint32_t monotonicMs() {
  return static_cast<uint32_t>(nowMs64());
}

uint32_t tickCount() {
  return static_cast<uint32_t>(nowMs64() / kTickMs);
}

uint32_t msUntilTick(uint32_t start, uint32_t ticks) {
  const uint64_t now = nowMs64();
  const uint32_t nowTick = static_cast<uint32_t>(now / kTickMs);
  const uint32_t elapsed = nowTick - start;
  if (elapsed >= ticks)
    return 0;
  // The countdown ends when the tick number reaches start + ticks.
  const uint64_t endMs = (now / kTickMs + (ticks - elapsed)) * kTickMs;
  return static_cast<uint32_t>(endMs - now);
}

} // namespace platform
