// The driver shared by the Class 2 / 2.0 machines: one call per trigger,
// response lines handed to the state, and the loop rule.

#include "faxengine/Class2Machine.h"

#include "platform/FxErrors.h"
#include "serial/ComTypes.h"

namespace faxengine {

void Class2MachineBase::DrainInput() {
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
  }
}

void Class2MachineBase::Handle(uint32_t msg, int trigger, uint16_t /*data*/) {
  if (Done())
    return;
  MachineEvent ev;
  if (msg == kFaxAbortMsg) {
    m_aborted = true;
    m_s.SetStatus(fpCancel);
    Fail(ecCancelRequested);
  } else if (msg == TriggerTimerMsg) {
    ev.timeout = trigger == m_rec.timeoutTrigger;
  } else if (msg == TriggerStatusMsg) {
    ev.outSpace = trigger == m_rec.outSpaceTrigger;
    ev.outUsed = trigger == m_rec.outUsedTrigger;
  } else if (msg == TriggerAvailMsg) {
    ev.input = true;
  }
  while (!Done()) {
    const Kind kind = KindOf(m_state);
    const int before = m_state;
    bool screened = false;
    if (kind == Kind::Line && !ev.timeout) {
      if (!m_s.ReadLine(ev.line))
        return;
      ev.hasLine = true;
      screened = Screen(ev.line);
    }
    if (!screened)
      Step(ev);
    ev = {};
    if (Done())
      return;
    // A trigger state that is still waiting has nothing more to do now.
    if (kind == Kind::Trigger && m_state == before)
      return;
    const Loop loop = LoopAfter(m_state);
    if (loop == Loop::Return)
      return;
    if (loop == Loop::WhileInput && !m_s.Port().inputWaiting())
      return;
    // Input for the next state counts as its own notification.
    ev.input = m_s.Port().inputWaiting();
  }
}

} // namespace faxengine
