// The driver shared by the Class 1 machines: one call per trigger, lines and
// frames taken from the modem's output, and the loop rule.

#include "faxengine/Class1Machine.h"

#include "platform/FxErrors.h"
#include "serial/ComTypes.h"

namespace faxengine {

namespace {
constexpr std::size_t kMaxLine = 128;

std::string Trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
    ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
    --e;
  return s.substr(b, e - b);
}
} // namespace

void Class1MachineBase::DrainInput() {
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
  }
}

void Class1MachineBase::Modulation(const std::string& command, int delayMs) {
  if (delayMs > 0)
    FaxSession::DelayMs(delayMs);
  FaxSession::DelayMs(40);
  if (command == "AT+FRH=3")
    m_haveFrame = false;
  m_s.SendText(command + "\r");
  m_s.ArmTimeout(m_proto.responseTicks);
}

void Class1MachineBase::SendFrame(const std::vector<uint8_t>& bytes) {
  FaxSession::DelayMs(20);
  m_s.Port().sendBlock(bytes.data(), bytes.size());
}

bool Class1MachineBase::ReadResponse(std::string& line) {
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
    // A frame starts with its address byte where a line would start; line
    // ends inside it are frame bytes, and DLE ETX ends it.
    if (!m_inFrame && m_lineBuffer.empty() && b == t30::kAddress)
      m_inFrame = true;
    if (m_inFrame) {
      if (m_reader.Put(b) == t30::FrameReader::Result::More)
        continue;
      m_inFrame = false;
      t30::Frame frame;
      if (m_reader.Take(frame)) {
        m_haveFrame = true;
        m_lastFinal = frame.final;
        m_lastFcf = frame.fcf;
        const int before = m_state;
        OnFrame(frame);
        if (m_state != before)
          return false;
      }
      continue;
    }
    if (b == '\r' || b == '\n') {
      line = Trimmed(m_lineBuffer);
      m_lineBuffer.clear();
      if (!line.empty())
        return true;
      continue;
    }
    m_lineBuffer.push_back(static_cast<char>(b));
    if (m_lineBuffer.size() > kMaxLine)
      m_lineBuffer.erase(0, m_lineBuffer.size() - kMaxLine);
  }
  return false;
}

void Class1MachineBase::Handle(uint32_t msg, int trigger, uint16_t /*data*/) {
  if (Done())
    return;
  Class1Event ev;
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
    if (kind == Kind::Line && !ev.timeout) {
      if (ReadResponse(ev.line)) {
        ev.hasLine = true;
        Step(ev);
      } else if (m_state == before) {
        return; // input ran out
      }
    } else {
      Step(ev);
    }
    ev = {};
    if (Done())
      return;
    if (kind == Kind::Trigger && m_state == before)
      return;
    const Loop loop = LoopAfter(m_state);
    if (loop == Loop::Return)
      return;
    if (loop == Loop::WhileInput && !m_s.Port().inputWaiting() && m_state == before)
      return;
    ev.input = m_s.Port().inputWaiting();
  }
}

} // namespace faxengine
