#include "serial/TriggerTable.h"

#include "platform/FxErrors.h"
#include "platform/TickClock.h"

#include <algorithm>

namespace serial {

TriggerTable::Slot* TriggerTable::slot(int handle, SlotKind kind) {
  if (handle < kFirstTriggerHandle || handle > kLastTriggerHandle)
    return nullptr;
  Slot& s = m_slots[handle - kFirstTriggerHandle];
  return s.kind == kind ? &s : nullptr;
}

int TriggerTable::allocate(SlotKind kind, int limit) {
  int used = 0;
  for (const Slot& s : m_slots)
    used += s.kind == kind;
  if (used >= limit)
    return ecNoMoreTriggers;
  for (int i = 0; i < kSlots; ++i)
    if (m_slots[i].kind == Free) {
      m_slots[i] = Slot{};
      m_slots[i].kind = kind;
      return i + kFirstTriggerHandle;
    }
  return ecNoMoreTriggers;
}

int TriggerTable::stateKindOf(int handle) const {
  if (handle < kFirstTriggerHandle || handle > kLastTriggerHandle)
    return 0;
  const Slot& s = m_slots[handle - kFirstTriggerHandle];
  return s.kind == State ? s.stateKind : 0;
}

int TriggerTable::addTime() {
  return allocate(Time, kTimeTriggers);
}

int TriggerTable::addState(int kind) {
  if (kind < stModem || kind > stOutSent)
    return ecBadArgument;
  int handle = allocate(State, kStateTriggers);
  if (handle > 0)
    m_slots[handle - kFirstTriggerHandle].stateKind = static_cast<uint8_t>(kind);
  return handle;
}

int TriggerTable::armTime(int handle, int32_t ticks, bool enable, uint32_t nowTick) {
  Slot* s = slot(handle, Time);
  if (!s)
    return ecBadTriggerHandle;
  if (!enable) {
    s->enabled = false;
    return 0;
  }
  if (ticks > 0 || s->ticks == 0)
    s->ticks = std::max(ticks, 0); // 0 reuses the last count
  s->startTick = nowTick;
  s->enabled = true;
  return 0;
}

int TriggerTable::armState(int handle, uint16_t value, bool enable, uint8_t modemStatus) {
  Slot* s = slot(handle, State);
  if (!s)
    return ecBadTriggerHandle;
  s->value = value;
  if (s->stateKind == stModem)
    s->reference = static_cast<uint8_t>(modemStatus & value);
  s->enabled = enable;
  return 0;
}

int TriggerTable::drop(int handle) {
  if (handle < kFirstTriggerHandle || handle > kLastTriggerHandle ||
      m_slots[handle - kFirstTriggerHandle].kind == Free)
    return ecBadTriggerHandle;
  m_slots[handle - kFirstTriggerHandle] = Slot{};
  return 0;
}

bool TriggerTable::stateFires(Slot& s, const PortLevels& levels, uint16_t& data) const {
  data = 0;
  switch (s.stateKind) {
  case stModem:
    return ((levels.modemStatus ^ s.reference) & s.value) != 0;
  case stLineError:
    return (levels.lineErrors & s.value) != 0;
  case stOutbuffFree:
    data = static_cast<uint16_t>(levels.outputSpace);
    return levels.outputSpace >= s.value;
  case stOutbuffUsed:
    data = static_cast<uint16_t>(levels.outputCount);
    return levels.outputCount <= s.value;
  case stOutSent:
    return levels.allSent;
  }
  return false;
}

bool TriggerTable::takeFired(const PortLevels& levels, uint32_t nowTick, FiredTrigger& fired) {
  for (int i = 0; i < kSlots; ++i) {
    Slot& s = m_slots[i];
    uint16_t data = 0;
    if (s.kind == State && s.enabled && stateFires(s, levels, data)) {
      s.enabled = false;
      fired = {TriggerStatusMsg, i + kFirstTriggerHandle, data};
      return true;
    }
  }
  for (int i = 0; i < kSlots; ++i) {
    Slot& s = m_slots[i];
    if (s.kind == Time && s.enabled && nowTick - s.startTick >= static_cast<uint32_t>(s.ticks)) {
      s.enabled = false;
      fired = {TriggerTimerMsg, i + kFirstTriggerHandle, 0};
      return true;
    }
  }
  return false;
}

int TriggerTable::msToNextTimer() const {
  int best = -1;
  for (const Slot& s : m_slots)
    if (s.kind == Time && s.enabled) {
      int ms = static_cast<int>(platform::msUntilTick(s.startTick, static_cast<uint32_t>(s.ticks)));
      best = best < 0 ? ms : std::min(best, ms);
    }
  return best;
}

} // namespace serial
