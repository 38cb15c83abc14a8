#pragma once
// The trigger slots of a port: handles 2..41 given out in increasing order of
// the first free slot, at most 10 time triggers and 10 state triggers.
// Plain data; the port guards it with its lock.

#include "serial/ComTypes.h"

#include <array>
#include <cstdint>

namespace serial {

// What the state triggers look at, sampled by the port.
struct PortLevels {
  uint8_t modemStatus = 0;
  uint16_t lineErrors = 0;
  int outputCount = 0;
  int outputSpace = 0;
  bool allSent = true;
};

struct FiredTrigger {
  uint32_t msg = 0;
  int handle = 0;
  uint16_t data = 0;
};

class TriggerTable {
public:
  int addTime();
  int addState(int kind);
  int armTime(int handle, int32_t ticks, bool enable, uint32_t nowTick);
  int armState(int handle, uint16_t value, bool enable, uint8_t modemStatus);
  int drop(int handle);
  void clear() { *this = TriggerTable(); }
  // Kind 1..5 of an allocated state trigger, else 0.
  int stateKindOf(int handle) const;

  // The first state trigger, then the first time trigger, that fires; it is
  // disabled and described in `fired`.
  bool takeFired(const PortLevels& levels, uint32_t nowTick, FiredTrigger& fired);
  // Milliseconds until the nearest enabled countdown ends (-1 when none).
  int msToNextTimer() const;

private:
  enum SlotKind : uint8_t { Free, Time, State };
  struct Slot {
    SlotKind kind = Free;
    uint8_t stateKind = 0;
    bool enabled = false;
    uint16_t value = 0;
    uint8_t reference = 0;
    uint32_t startTick = 0;
    int32_t ticks = 0;
  };
  static constexpr int kSlots = kLastTriggerHandle - kFirstTriggerHandle + 1;

  Slot* slot(int handle, SlotKind kind);
  int allocate(SlotKind kind, int limit);
  bool stateFires(Slot& s, const PortLevels& levels, uint16_t& data) const;

  std::array<Slot, kSlots> m_slots{};
};

} // namespace serial
