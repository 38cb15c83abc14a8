// The port component's operations and the delivery of its events.

#include "platform/FxErrors.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/PendingEvents.h"
#include "platform/TickClock.h"
#include "serial/TFxCustomComPort.h"
#include "serial/TextMatcher.h"
#include "serial/TriggerHandlerEntry.h"

#include <algorithm>

void TFxCustomComPort::SendByte(uint8_t b) {
  SendBlock(&b, 1);
}

void TFxCustomComPort::SendText(const std::string& text) {
  SendBlock(text.data(), text.size());
}

void TFxCustomComPort::SendBlock(const void* data, size_t length) {
  EnsureOpen();
  Check(m_port.sendBlock(static_cast<const uint8_t*>(data), length));
}

bool TFxCustomComPort::InputWaiting() {
  EnsureOpen();
  return m_port.inputWaiting();
}

uint8_t TFxCustomComPort::ReadByte() {
  EnsureOpen();
  uint8_t b = 0;
  Check(m_port.readByte(b));
  return b;
}

uint16_t TFxCustomComPort::InputCount() {
  EnsureOpen();
  return static_cast<uint16_t>(m_port.inputCount());
}

uint16_t TFxCustomComPort::OutputCount() {
  EnsureOpen();
  return static_cast<uint16_t>(m_port.outputCount());
}

uint16_t TFxCustomComPort::OutputSpace() {
  EnsureOpen();
  return static_cast<uint16_t>(m_port.outputSpace());
}

void TFxCustomComPort::DiscardInput() {
  EnsureOpen();
  m_port.discardInput();
}

void TFxCustomComPort::DiscardOutput() {
  EnsureOpen();
  m_port.discardOutput();
}

bool TFxCustomComPort::WaitForText(const std::string& text, int32_t ticks, bool yield,
                                   bool ignoreCase) {
  EnsureOpen();
  // The dispatcher delivers nothing while we poll the port ourselves.
  struct Hold {
    serial::ComPort& port;
    bool previous;
    ~Hold() { port.holdDispatch(previous); }
  } hold{m_port, m_port.holdDispatch(true)};

  serial::TextMatcher matcher(text, ignoreCase);
  if (text.empty())
    return true;
  const uint32_t start = platform::tickCount();
  for (;;) {
    if (platform::applicationTerminating())
      return true;
    uint8_t b;
    while (m_port.readByte(b) == 0) {
      if (OnWaitChar)
        OnWaitChar(*this, b);
      if (matcher.feed(b))
        return true;
    }
    const uint32_t elapsed = platform::tickCount() - start;
    if (ticks <= 0 || elapsed >= static_cast<uint32_t>(ticks))
      return false;
    if (yield)
      platform::processPendingEvents();
    const uint32_t left = platform::msUntilTick(start, static_cast<uint32_t>(ticks));
    m_port.waitForInput(static_cast<int>(std::min<uint32_t>(left + 1, yield ? 10 : 55)));
  }
}

int TFxCustomComPort::AddTimeTrigger() {
  EnsureOpen();
  return Check(m_port.addTimeTrigger());
}

void TFxCustomComPort::ArmTimeTrigger(int handle, int32_t ticks, bool enable) {
  EnsureOpen();
  Check(m_port.armTimeTrigger(handle, ticks, enable));
}

int TFxCustomComPort::AddStateTrigger(int kind) {
  EnsureOpen();
  return Check(m_port.addStateTrigger(kind));
}

void TFxCustomComPort::ArmStateTrigger(int handle, uint16_t value, bool enable) {
  EnsureOpen();
  Check(m_port.armStateTrigger(handle, value, enable));
}

void TFxCustomComPort::DropTrigger(int handle) {
  EnsureOpen();
  Check(m_port.dropTrigger(handle));
  if (handle == 1)
    m_triggerLength = 0;
}

void TFxCustomComPort::SetTriggerLength(uint16_t v) {
  m_triggerLength = v;
  if (m_port.isOpen())
    m_port.setTriggerLength(v);
}

int TFxCustomComPort::AddTriggerHandler(TriggerProc proc, TriggerHandlerKind kind) {
  EnsureOpen();
  return m_port.addTriggerHandler(kind, std::move(proc));
}

void TFxCustomComPort::RemoveTriggerHandler(int id) {
  if (m_port.isOpen()) {
    Check(m_port.removeTriggerHandler(id));
    return;
  }
  // A closed port keeps its handlers for the next open.
  if (m_saved)
    m_saved->handlers.remove_if([id](const auto& e) { return e->id == id; });
}

void TFxCustomComPort::SetUserData(int slot, void* data) {
  EnsureOpen();
  Check(m_port.setUserData(slot, data));
}

void* TFxCustomComPort::GetUserData(int slot) {
  EnsureOpen();
  if (slot < 1 || slot > serial::kUserSlots)
    Check(ecBadArgument);
  return m_port.getUserData(slot);
}

bool TFxCustomComPort::HoldDispatch(bool hold) {
  EnsureOpen();
  return m_port.holdDispatch(hold);
}

bool TFxCustomComPort::CarrierPresent() {
  EnsureOpen();
  return m_port.carrierPresent();
}

std::string TFxCustomComPort::ErrorText(int code) {
  return ::ErrorText(code);
}

// ------------------------------------------------------------ events

void TFxCustomComPort::HandleTrigger(uint32_t msg, uint32_t wParam, int32_t lParam) {
  TFxCustomComPort* cp = FromHandle(static_cast<int>(static_cast<uint32_t>(lParam) >> 16));
  if (!cp)
    return;
  const uint16_t data = static_cast<uint16_t>(lParam & 0xFFFF);
  const int handle = static_cast<int>(wParam);
  if (cp->OnTrigger)
    cp->OnTrigger(*cp, msg, handle, data);
  switch (msg) {
  case TriggerAvailMsg:
    if (cp->OnTriggerAvail)
      cp->OnTriggerAvail(*cp, static_cast<uint16_t>(wParam));
    break;
  case TriggerDataMsg:
    if (cp->OnTriggerData)
      cp->OnTriggerData(*cp, handle);
    break;
  case TriggerTimerMsg:
    if (cp->OnTriggerTimer)
      cp->OnTriggerTimer(*cp, handle);
    break;
  case TriggerStatusMsg: {
    if (cp->OnTriggerStatus)
      cp->OnTriggerStatus(*cp, handle);
    switch (cp->m_port.stateTriggerKind(handle)) {
    case stModem:
      if (cp->OnTriggerModemStatus)
        cp->OnTriggerModemStatus(*cp);
      break;
    case stLineError:
      if (cp->OnTriggerLineError) {
        const uint16_t error = cp->m_port.takeLineErrors();
        cp->OnTriggerLineError(*cp, error, (error & leBreak) != 0);
      }
      break;
    case stOutbuffFree:
      if (cp->OnTriggerOutbuffFree)
        cp->OnTriggerOutbuffFree(*cp);
      break;
    case stOutbuffUsed:
      if (cp->OnTriggerOutbuffUsed)
        cp->OnTriggerOutbuffUsed(*cp);
      break;
    case stOutSent:
      if (cp->OnTriggerOutSent)
        cp->OnTriggerOutSent(*cp);
      break;
    }
    break;
  }
  }
}
