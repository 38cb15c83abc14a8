// The running fax call: triggers, machine registration, events to the main
// thread, commands, response lines and hang-up.

#include "faxengine/FaxSession.h"

#include "platform/FxErrors.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/TickClock.h"
#include "serial/ComTypes.h"

#include <chrono>
#include <thread>

namespace faxengine {

namespace {
constexpr uint8_t kDle = 0x10, kEtx = 0x03;
// How long the modem may take to answer the end of a data stream (it first
// sends what it holds) or a command that ends the session on the line.
constexpr int kStreamEndMs = 5000;
std::atomic<bool> g_delays{true};
} // namespace

FaxSession::FaxSession(serial::ComPort& port, FaxRecord& rec, ProtocolRecord& proto,
                       FaxEventSink& sink, bool sending)
    : m_port(port), m_rec(rec), m_proto(proto), m_sink(sink), m_sending(sending) {}

FaxSession::~FaxSession() {
  if (m_detached)
    return; // the port may be gone: it was let go of already
  if (m_handlerId)
    m_port.removeTriggerHandler(m_handlerId);
  m_handlerId = 0;
  std::lock_guard lock(m_callMutex);
  if (m_running) {
    FreeTriggers();
    m_running = false;
  }
  if (m_port.isOpen() && m_port.getUserData(kFaxUserSlot) == this)
    m_port.setUserData(kFaxUserSlot, nullptr);
}

int FaxSession::Start(std::unique_ptr<FaxMachine> machine) {
  m_machine = std::move(machine);
  m_port.setTriggerLength(1);
  m_rec.timeoutTrigger = m_port.addTimeTrigger();
  m_rec.statusTrigger = m_port.addTimeTrigger();
  m_rec.outSpaceTrigger = m_port.addStateTrigger(stOutbuffFree);
  m_rec.outUsedTrigger = m_port.addStateTrigger(stOutbuffUsed);
  m_rec.modemTrigger = m_port.addStateTrigger(stModem);
  if (m_rec.timeoutTrigger < 0 || m_rec.statusTrigger < 0 || m_rec.outSpaceTrigger < 0 ||
      m_rec.outUsedTrigger < 0 || m_rec.modemTrigger < 0 || !m_machine) {
    m_running = true;
    Error(ecNoMoreTriggers);
    Finish();
    return ecNoMoreTriggers;
  }
  m_port.setUserData(kFaxUserSlot, this);
  m_running = true;
  m_finished = false;
  {
    std::lock_guard lock(m_callMutex);
    m_machine->Handle(0, 0, 0);
  }
  if (!m_finished) {
    m_handlerId = m_port.addTriggerHandler(
        TriggerHandlerKind::Procedure,
        [this](uint32_t msg, uint32_t w, int32_t l) { OnTrigger(msg, w, l); });
    ArmStatusTimer();
  }
  return 0;
}

void FaxSession::Abort() {
  if (!m_running || m_detached)
    return;
  m_abort = true;
  // Wake the dispatcher: the machine takes the abort on its own thread.
  if (m_rec.statusTrigger > 0)
    m_port.armTimeTrigger(m_rec.statusTrigger, 0, true);
}

void FaxSession::Detach() {
  if (m_detached.exchange(true))
    return;
  // From here no event waits for the main thread, which is closing the
  // port: a machine call in progress runs to its end without them, and no
  // later trigger reaches the machine.
  bool wasRunning;
  {
    std::lock_guard lock(m_callMutex);
    wasRunning = m_running.exchange(false) && !m_finished;
    m_finished = true;
  }
  if (m_handlerId)
    m_port.removeTriggerHandler(m_handlerId);
  m_handlerId = 0;
  if (!wasRunning)
    return;
  FreeTriggers();
  if (m_port.getUserData(kFaxUserSlot) == this)
    m_port.setUserData(kFaxUserSlot, nullptr);
  m_rec.initialized = false;
  m_rec.lastError = ecCommNotOpen;
  Publish();
  PostFinish(ecCommNotOpen);
}

void FaxSession::Publish() {
  PublishedCall& p = m_rec.published;
  std::lock_guard lock(p.lock);
  p.remoteID = m_rec.remoteID;
  p.hangupCode = m_proto.lastHangupCode;
  p.bps = m_proto.bps;
  p.fine = m_proto.fine;
  p.wide = m_proto.wide;
  p.ecm = m_proto.ecm;
  p.coding = m_proto.coding;
}

bool FaxSession::OwnTrigger(uint32_t msg, int trigger) const {
  switch (msg) {
  case TriggerAvailMsg:
  case TriggerDeviceLostMsg:
    return true;
  case TriggerTimerMsg:
    return trigger == m_rec.timeoutTrigger || trigger == m_rec.statusTrigger;
  case TriggerStatusMsg:
    return trigger == m_rec.outSpaceTrigger || trigger == m_rec.outUsedTrigger ||
           trigger == m_rec.modemTrigger;
  default:
    return false;
  }
}

void FaxSession::OnTrigger(uint32_t msg, uint32_t wParam, int32_t lParam) {
  std::lock_guard lock(m_callMutex);
  if (!m_running || !m_machine || m_machine->Done())
    return;
  const int trigger = static_cast<int>(wParam);
  const auto data = static_cast<uint16_t>(lParam & 0xFFFF);
  if (m_abort && !m_abortDelivered) {
    m_abortDelivered = true;
    m_machine->Handle(kFaxAbortMsg, 0, 0);
    return;
  }
  if (!OwnTrigger(msg, trigger))
    return;
  if (msg == TriggerTimerMsg && trigger == m_rec.statusTrigger) {
    Status(false, false);
    ArmStatusTimer();
    return;
  }
  m_machine->Handle(msg, trigger, data);
}

void FaxSession::FreeTriggers() {
  for (int* h : {&m_rec.timeoutTrigger, &m_rec.statusTrigger, &m_rec.outSpaceTrigger,
                 &m_rec.outUsedTrigger, &m_rec.modemTrigger}) {
    if (*h > 0)
      m_port.dropTrigger(*h);
    *h = 0;
  }
}

void FaxSession::Finish() {
  if (m_finished)
    return;
  m_finished = true;
  FreeTriggers();
  if (m_handlerId)
    m_port.removeTriggerHandler(m_handlerId);
  m_handlerId = 0;
  if (m_port.getUserData(kFaxUserSlot) == this)
    m_port.setUserData(kFaxUserSlot, nullptr);
  RestoreDataMode();
  m_rec.initialized = false;
  Publish();
  m_running = false;
  PostFinish(m_rec.lastError);
}

void FaxSession::PostFinish(int error) {
  FaxEventSink* sink = &m_sink;
  std::weak_ptr<void> life = m_life;
  platform::mainThreadDispatcher().post([sink, life, error] {
    if (!life.expired())
      sink->FaxFinishEvent(error);
  });
}

bool FaxSession::SendToMain(const std::function<void()>& fn) {
  if (m_detached)
    return false;
  Publish();
  auto& d = platform::mainThreadDispatcher();
  if (d.isMainThread()) {
    fn();
    return true;
  }
  return d.send(fn, std::chrono::milliseconds(serial::kWindowSendTimeoutMs));
}

void FaxSession::SetStatus(int code) {
  if (m_rec.status == code)
    return;
  m_rec.status = code;
  if (m_running)
    Status(false, false);
}

void FaxSession::Status(bool first, bool last) {
  SendToMain([this, first, last] { m_sink.FaxStatusEvent(first, last); });
}

void FaxSession::Log(int logCode) {
  SendToMain([this, logCode] { m_sink.FaxLogEvent(logCode); });
}

void FaxSession::Error(int errorCode) {
  m_rec.lastError = errorCode;
  SendToMain([this, errorCode] { m_sink.FaxErrorEvent(errorCode); });
}

bool FaxSession::NextFax() {
  bool more = false;
  SendToMain([this, &more] { more = m_sink.FaxNextEvent(); });
  return more;
}

void FaxSession::RequestName() {
  SendToMain([this] { m_sink.FaxNameEvent(); });
}

bool FaxSession::AcceptFax() {
  bool accept = true;
  SendToMain([this, &accept] { accept = m_sink.FaxAcceptEvent(); });
  return accept;
}

void FaxSession::EnableDelays(bool enabled) {
  g_delays = enabled;
}

void FaxSession::DelayMs(int ms) {
  if (g_delays)
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void FaxSession::SendCommand(const std::string& command) {
  if (PortLost())
    return;
  DelayMs(100);
  SendText(command + "\r");
}

void FaxSession::SendText(const std::string& text) {
  m_port.sendBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void FaxSession::ArmTimeout(int32_t ticks) {
  m_port.armTimeTrigger(m_rec.timeoutTrigger, ticks, true);
}

void FaxSession::DisarmTimeout() {
  m_port.armTimeTrigger(m_rec.timeoutTrigger, 0, false);
}

void FaxSession::ArmStatusTimer() {
  const int seconds = m_rec.statusInterval ? m_rec.statusInterval : 1;
  m_port.armTimeTrigger(m_rec.statusTrigger, platform::secondsToTicks(seconds), true);
}

void FaxSession::ArmOutputSpace(uint16_t bytes) {
  m_port.armStateTrigger(m_rec.outSpaceTrigger, bytes, true);
}

void FaxSession::ArmOutputUsed(uint16_t bytes) {
  m_port.armStateTrigger(m_rec.outUsedTrigger, bytes, true);
}

bool FaxSession::ReadLine(std::string& line) {
  uint8_t b;
  while (m_port.readByte(b) == 0) {
    if (m_lines.Put(b, line))
      return true;
  }
  return false;
}

void FaxSession::NoteState(int state, const char* name) {
  m_port.logNote("fax state " + std::to_string(state) + " " + name);
}

void FaxSession::DtrReset() {
  if (PortLost())
    return;
  m_port.discardInput();
  m_port.discardOutput();
  m_port.setModemLines(false, false);
  DelayMs(500);
  m_port.setModemLines(true, true);
  DelayMs(500);
}

bool FaxSession::AwaitReply(const char* wanted, int ms) {
  // Without delays (generated input) only the answer already there counts.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(g_delays ? ms : 0);
  std::string line;
  while (!PortLost()) {
    while (ReadLine(line)) {
      if (line.find(wanted) != std::string::npos)
        return true;
      if (line.find("ERROR") != std::string::npos || line.find("NO CARRIER") != std::string::npos)
        return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return false;
    m_port.waitForInput(static_cast<int>(std::min<int64_t>(left.count(), 50)));
  }
  return false;
}

void FaxSession::CloseDataStream(const char* abortCommand) {
  if (PortLost())
    return;
  // Page data still queued would only delay the end; the modem sends what
  // it already holds, then answers the DLE ETX. Written as the hang-up
  // command instead, it would be taken as more page data.
  m_port.discardOutput();
  const uint8_t end[2] = {kDle, kEtx};
  m_port.sendBlock(end, sizeof end);
  AwaitResult(kStreamEndMs);
  if (abortCommand) {
    SendCommand(abortCommand);
    AwaitResult(kStreamEndMs);
  }
}

void FaxSession::RestoreDataMode() {
  if (PortLost() || m_detached)
    return;
  m_port.discardInput();
  m_lines.Clear();
  SendCommand("AT+FCLASS=0");
  AwaitResult(kStreamEndMs / 2);
  m_port.discardInput();
}

void FaxSession::HangUpSend() {
  if (PortLost())
    return;
  if (m_port.carrierPresent()) {
    DelayMs(1000);
    SendText("+++");
    DelayMs(1000);
    SendText("ATH0\r");
    DelayMs(1000);
    m_port.discardInput();
    if (m_port.carrierPresent())
      DtrReset();
    return;
  }
  SendText("ATH0\r");
  DelayMs(1000);
  m_port.discardInput();
}

void FaxSession::HangUpReceive() {
  if (PortLost())
    return;
  DtrReset();
  DelayMs(1000);
  SendText("+++");
  DelayMs(1000);
  SendText("ATH\r");
  DelayMs(1000);
  m_port.discardInput();
}

void FaxSession::SwitchBaud(int32_t baud) {
  if (baud <= 0)
    return;
  DelayMs(9);
  serial::LineSettings line;
  if (m_port.getLine(line) == 0 && line.baud != baud) {
    line.baud = baud;
    m_port.setLine(line);
  }
}

} // namespace faxengine
