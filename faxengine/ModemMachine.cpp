// The driver of every fax machine: one call per trigger, response lines
// handed to the state, and the loop rule.

#include "faxengine/ModemMachine.h"

#include "platform/FxErrors.h"
#include "serial/ComTypes.h"

namespace faxengine {

namespace {
const StateInfo* Find(std::span<const StateInfo> states, int state) {
  for (const StateInfo& s : states)
    if (s.number == state)
      return &s;
  return nullptr;
}
} // namespace

const char* ModemMachine::StateName(int state) const {
  const StateInfo* s = Find(States(), state);
  return s ? s->name : "?";
}

StateKind ModemMachine::KindOf(int state) const {
  const StateInfo* s = Find(States(), state);
  return s ? s->kind : StateKind::Line;
}

StateLoop ModemMachine::LoopAfter(int state) const {
  const StateInfo* s = Find(States(), state);
  return s ? s->loop : StateLoop::WhileInput;
}

void ModemMachine::DrainInput() {
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
  }
}

MachineEvent ModemMachine::EventOf(uint32_t msg, int trigger) {
  MachineEvent ev;
  if (msg == kFaxAbortMsg) {
    m_aborted = true;
    m_s.SetStatus(fpCancel);
    Fail(ecCancelRequested);
  } else if (msg == TriggerDeviceLostMsg) {
    // Nothing can be said to a modem that has gone: the failure states
    // skip every command and end the call at once.
    Fail(ecFaxModemGone);
  } else if (msg == TriggerTimerMsg) {
    ev.timeout = trigger == m_rec.timeoutTrigger;
  } else if (msg == TriggerStatusMsg) {
    ev.outSpace = trigger == m_rec.outSpaceTrigger;
    ev.outUsed = trigger == m_rec.outUsedTrigger;
  } else if (msg == TriggerAvailMsg) {
    ev.input = true;
  }
  return ev;
}

void ModemMachine::Handle(uint32_t msg, int trigger, uint16_t /*data*/) {
  if (Done())
    return;
  MachineEvent ev = EventOf(msg, trigger);
  while (!Done()) {
    const Kind kind = KindOf(m_state);
    const int before = m_state;
    if (kind == Kind::Line && !ev.timeout) {
      if (ReadResponse(ev.line)) {
        ev.hasLine = true;
        if (!Screen(ev.line))
          Step(ev);
      } else if (m_state == before) {
        return; // input ran out
      }
    } else {
      Step(ev);
    }
    ev = {};
    if (m_state != before)
      m_s.NoteState(m_state, StateName(m_state));
    if (Done())
      return;
    // A trigger state that is still waiting has nothing more to do now.
    if (kind == Kind::Trigger && m_state == before)
      return;
    const Loop loop = LoopAfter(m_state);
    if (loop == Loop::Return)
      return;
    if (loop == Loop::WhileInput && !m_s.Port().inputWaiting() && m_state == before)
      return;
    // Input for the next state counts as its own notification.
    ev.input = m_s.Port().inputWaiting();
  }
}

} // namespace faxengine
