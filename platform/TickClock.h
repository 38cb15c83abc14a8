#pragma once
// The serial layer's timer unit: a tick of 55 ms counted from a monotonic
// clock. Countdowns of triggers and modem waits are given in ticks.

#include <cstdint>

namespace platform {

constexpr int kTickMs = 55;

// Milliseconds of the monotonic clock (wraps after ~49 days like a 32-bit
// millisecond counter; callers compare with unsigned differences).
uint32_t monotonicMs();

// The current tick number: monotonicMs() / 55, computed from the full 64-bit
// count so it advances steadily across the 32-bit wrap.
uint32_t tickCount();

// Seconds to ticks with the integer rule seconds * 1675 / 92 (10 s = 182, 60 s = 1092).
constexpr int32_t secondsToTicks(int32_t seconds) {
  return static_cast<int32_t>(static_cast<int64_t>(seconds) * 1675 / 92);
}

// Milliseconds until a countdown of `ticks` started at tick `start` expires
// (0 when already expired).
uint32_t msUntilTick(uint32_t start, uint32_t ticks);

} // namespace platform
