// The port component: properties, opening and closing, trace and log commands.

#include "serial/TFxCustomComPort.h"

#include "platform/FxErrors.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace {

// Components by port handle, for trigger messages that carry only the handle.
std::mutex g_componentsMutex;
std::array<TFxCustomComPort*, 101> g_components{};

void registerComponent(int handle, TFxCustomComPort* c) {
  std::lock_guard lock(g_componentsMutex);
  if (handle >= 1 && handle <= 100)
    g_components[handle] = c;
}

} // namespace

TFxCustomComPort::TFxCustomComPort() = default;

TFxCustomComPort::~TFxCustomComPort() {
  // Components using the port let go of it first (a running fax call ends).
  m_port.runCloseHooks(true);
  DoClose();
}

TFxCustomComPort* TFxCustomComPort::FromHandle(int handle) {
  std::lock_guard lock(g_componentsMutex);
  return handle >= 1 && handle <= 100 ? g_components[handle] : nullptr;
}

std::string TFxCustomComPort::FilePath(const std::string& name) {
  if (name.empty() || name.front() == '/')
    return name;
  return platform::ProgramDir() + name;
}

int TFxCustomComPort::Check(int code) const {
  if (code < 0 && !m_loading)
    RaiseFxError(code);
  return code;
}

void TFxCustomComPort::EnsureOpen() {
  if (m_port.isOpen())
    return;
  if (m_autoOpen && !m_loading)
    DoOpen();
  else
    RaiseFxError(ecCommNotOpen);
}

std::string TFxCustomComPort::ResolveDevice() const {
  if (!m_devicePath.empty())
    return m_devicePath;
  return platform::PortDevicePath(m_comNumber);
}

// ------------------------------------------------------------ open / close

void TFxCustomComPort::DoOpen() {
  if (m_port.isOpen())
    return;
  if (m_comNumber == 0 && m_devicePath.empty()) {
    Check(ecNoPortSelected);
    return;
  }
  serial::PortConfig config;
  config.devicePath = ResolveDevice();
  config.inSize = m_inSize;
  config.outSize = m_outSize;
  config.line = m_line;
  const int handle = m_port.open(config);
  if (handle < 0) {
    Check(handle == ecFileNotFound ? ecBadId : handle);
    return;
  }
  m_port.getLine(m_line); // the settings actually in force
  try {
    ApplyAfterOpen();
  } catch (...) {
    m_port.close(); // opening fails as a whole
    throw;
  }
  registerComponent(handle, this);
  // The component's own handler turns trigger messages into its events;
  // when no event is assigned it costs the dispatcher nothing.
  m_windowHandler = m_port.addTriggerHandler(
      TriggerHandlerKind::Window,
      [this](uint32_t msg, uint32_t w, int32_t l) { HandleTrigger(msg, w, l); },
      [this] {
        return OnTrigger || OnTriggerAvail || OnTriggerData || OnTriggerStatus || OnTriggerTimer ||
               OnTriggerLineError || OnTriggerModemStatus || OnTriggerOutbuffFree ||
               OnTriggerOutbuffUsed || OnTriggerOutSent;
      });
  if (m_saved) {
    m_port.restoreTriggers(std::move(*m_saved));
    m_saved.reset();
  }
}

void TFxCustomComPort::ApplyAfterOpen() {
  const TTraceLogState tracing = m_tracing, logging = m_logging;
  ApplyLogState(true, tracing == tlPause ? tlOn : tracing);
  ApplyLogState(false, logging == tlPause ? tlOn : logging);
  ApplyFlow();
  m_port.setTriggerLength(m_triggerLength);
  m_port.setModemLines(m_dtr, m_rts);
}

void TFxCustomComPort::DoClose() {
  if (!m_port.isOpen())
    return;
  // Users of the port let go before its handlers are kept for the next open.
  m_port.runCloseHooks(false);
  // Both files are written when the port closes; a failed write cannot stop
  // the close, so it is not raised here.
  if (m_tracing != tlOff)
    m_port.dumpTrace(FilePath(m_traceName), false, m_traceHex);
  if (m_logging != tlOff)
    m_port.dumpLog(FilePath(m_logName), false, m_logHex);
  m_port.removeTriggerHandler(m_windowHandler);
  m_windowHandler = 0;
  registerComponent(m_port.handle(), nullptr);
  m_saved = m_port.saveTriggers();
  m_port.close();
}

void TFxCustomComPort::SetOpen(bool open) {
  if (m_loading) {
    m_openWhenLoaded = open;
    return;
  }
  if (open)
    DoOpen();
  else
    DoClose();
}

void TFxCustomComPort::EndLoading() {
  m_loading = false;
  if (m_openWhenLoaded) {
    m_openWhenLoaded = false;
    DoOpen();
  }
}

void TFxCustomComPort::SetComNumber(uint16_t n) {
  if (n == m_comNumber)
    return;
  const bool reopen = m_port.isOpen();
  DoClose(); // keeps the triggers, tracing and logging states for the reopen
  m_comNumber = n;
  if (reopen)
    DoOpen();
}

void TFxCustomComPort::SetDevicePath(const std::string& path) {
  if (path == m_devicePath)
    return;
  const bool reopen = m_port.isOpen();
  DoClose();
  m_devicePath = path;
  if (reopen)
    DoOpen();
}

// ------------------------------------------------------------ line settings

// The four line settings go to the open device together; a setting the
// device refuses raises and is not stored.
template <typename T> void TFxCustomComPort::SetLineField(T serial::LineSettings::*field, T v) {
  serial::LineSettings line = m_line;
  line.*field = v;
  if (m_port.isOpen())
    Check(m_port.setLine(line));
  m_line = line;
}

void TFxCustomComPort::SetBaud(int32_t v) {
  SetLineField(&serial::LineSettings::baud, v);
}

void TFxCustomComPort::SetParity(TParity v) {
  SetLineField(&serial::LineSettings::parity, v);
}

void TFxCustomComPort::SetDataBits(uint16_t v) {
  SetLineField(&serial::LineSettings::dataBits, v);
}

void TFxCustomComPort::SetStopBits(uint16_t v) {
  SetLineField(&serial::LineSettings::stopBits, v);
}

void TFxCustomComPort::SetInSize(uint16_t v) {
  m_inSize = v;
  if (m_port.isOpen())
    m_port.setInSize(v);
}

void TFxCustomComPort::SetOutSize(uint16_t v) {
  if (m_port.isOpen())
    Check(m_port.setOutSize(v));
  m_outSize = v;
}

void TFxCustomComPort::SetDispatcherMode(TDispatcherMode v) {
  if (!m_port.isOpen())
    m_dispatcherMode = v;
}

void TFxCustomComPort::SetDTR(bool v) {
  m_dtr = v;
  m_port.setModemLines(m_dtr, m_rts);
}

void TFxCustomComPort::SetRTS(bool v) {
  m_rts = v;
  m_port.setModemLines(m_dtr, m_rts);
}

// ------------------------------------------------------------ flow control

void TFxCustomComPort::SetHWFlowOptions(THWFlowOptionSet v) {
  m_hwFlow = v;
  if (v != 0) {
    if (m_bufferFull == 0 || m_bufferFull > m_inSize)
      m_bufferFull = static_cast<uint16_t>(m_inSize * 9 / 10);
    if (m_bufferResume == 0 || m_bufferResume > m_bufferFull)
      m_bufferResume = static_cast<uint16_t>(m_inSize / 10);
  }
  ApplyFlow();
}

void TFxCustomComPort::SetSWFlowOptions(TSWFlowOptions v) {
  m_swFlow = v;
  ApplyFlow();
}

void TFxCustomComPort::SetXOnChar(uint8_t v) {
  m_xon = v;
  ApplyFlow();
}

void TFxCustomComPort::SetXOffChar(uint8_t v) {
  m_xoff = v;
  ApplyFlow();
}

void TFxCustomComPort::ApplyFlow() {
  if (!m_port.isOpen())
    return;
  serial::FlowSettings flow;
  flow.rtsCts = (m_hwFlow & (hwfUseRTS | hwfRequireCTS)) != 0;
  flow.xonOutput = m_swFlow == swfTransmit || m_swFlow == swfBoth;
  flow.xoffInput = m_swFlow == swfReceive || m_swFlow == swfBoth;
  flow.xonChar = m_xon;
  flow.xoffChar = m_xoff;
  Check(m_port.setFlow(flow));
}

void TFxCustomComPort::SetSoftwareFlow(uint16_t fullMark, uint16_t resumeMark, int directions) {
  if (fullMark < resumeMark || fullMark > m_inSize) {
    Check(ecBadArgument);
    return;
  }
  m_xon = 17;
  m_xoff = 19;
  m_bufferFull = fullMark;
  m_bufferResume = resumeMark;
  const bool honour = directions & 1, send = directions & 2;
  m_swFlow = honour && send ? swfBoth : honour ? swfTransmit : send ? swfReceive : swfNone;
  EnsureOpen();
  ApplyFlow();
}

void TFxCustomComPort::ClearSoftwareFlow() {
  m_swFlow = swfNone;
  ApplyFlow();
}

// ------------------------------------------------------------ trace and log

void TFxCustomComPort::SetTraceSize(uint32_t v) {
  const uint16_t size = static_cast<uint16_t>(std::min<uint32_t>(v, serial::kMaxTraceSize));
  if (size == m_traceSize)
    return;
  m_traceSize = size;
  if (m_port.isOpen() && (m_tracing == tlOn || m_tracing == tlPause)) {
    m_port.stopTrace();
    ApplyLogState(true, tlOn);
  }
}

void TFxCustomComPort::SetLogSize(uint32_t v) {
  const uint16_t size = static_cast<uint16_t>(std::min<uint32_t>(v, serial::kMaxLogSize));
  if (size == m_logSize)
    return;
  m_logSize = size;
  if (m_port.isOpen() && (m_logging == tlOn || m_logging == tlPause)) {
    m_port.stopLog();
    ApplyLogState(false, tlOn);
  }
}

void TFxCustomComPort::SetTracing(TTraceLogState v) {
  ApplyLogState(true, v);
}

void TFxCustomComPort::SetLogging(TTraceLogState v) {
  ApplyLogState(false, v);
}

void TFxCustomComPort::ApplyLogState(bool trace, TTraceLogState v) {
  TTraceLogState& state = trace ? m_tracing : m_logging;
  if (!m_port.isOpen()) {
    state = (v == tlOn) ? tlOn : tlOff;
    return;
  }
  serial::ComPort& p = m_port;
  switch (v) {
  case tlOn:
    if (state == tlPause)
      trace ? p.pauseTrace(false) : p.pauseLog(false);
    else if (trace)
      p.startTrace(m_traceSize);
    else
      p.startLog(m_logSize);
    state = tlOn;
    break;
  case tlOff:
    trace ? p.stopTrace() : p.stopLog();
    state = tlOff;
    break;
  case tlDump:
  case tlAppend:
    if (state == tlOff)
      return; // nothing recorded
    Check(trace ? p.dumpTrace(FilePath(m_traceName), v == tlAppend, m_traceHex)
                : p.dumpLog(FilePath(m_logName), v == tlAppend, m_logHex));
    break;
  case tlClear:
    trace ? p.clearTrace() : p.clearLog();
    break;
  case tlPause:
    if (state == tlOff)
      return;
    trace ? p.pauseTrace(true) : p.pauseLog(true);
    state = tlPause;
    break;
  }
}
