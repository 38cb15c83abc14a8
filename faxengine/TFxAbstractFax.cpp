// The fax components' shared base: properties, call start, class detection,
// synchronous modem commands and the events on the main thread.

#include "faxengine/TFxAbstractFax.h"

#include "faxengine/TFxAbstractFaxStatus.h"
#include "faxengine/TFxFaxLog.h"
#include "platform/FxErrors.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/PendingEvents.h"
#include "platform/PortDevices.h"
#include "platform/TickClock.h"
#include "serial/TFxCustomComPort.h"

#include <algorithm>
#include <cctype>

TFxCustomAbstractFax::TFxCustomAbstractFax() = default;

TFxCustomAbstractFax::~TFxCustomAbstractFax() {
  m_life.reset();
  if (m_comPort && m_closeHook)
    m_comPort->Port().removeCloseHook(m_closeHook);
  ReplaceSession(nullptr);
}

void TFxCustomAbstractFax::ReplaceSession(std::unique_ptr<faxengine::FaxSession> session) {
  {
    std::lock_guard lock(m_sessionMutex);
    m_session.swap(session);
  }
  // The old session ends outside the lock: its end may wait for the
  // dispatcher, which never takes the lock.
  session.reset();
}

void TFxCustomAbstractFax::SetModemInit(const std::string& v) {
  std::string s = v.substr(0, 40);
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (!s.empty() && s[0] != 'A')
    s = "AT" + s;
  m_proto.modemInit = s;
}

void TFxCustomAbstractFax::SetComPort(TFxCustomComPort* port) {
  if (m_comPort && m_closeHook)
    m_comPort->Port().removeCloseHook(m_closeHook);
  m_closeHook = 0;
  m_comPort = port;
  if (port)
    m_closeHook = port->Port().addCloseHook([this](bool destroying) { OnPortClosing(destroying); });
  if (!port || port->Loading())
    return;
  port->SetDataBits(8);
  port->SetStopBits(1);
  port->SetParity(pNone);
  port->SetBaud(19200);
  port->SetInSize(8192);
  port->SetOutSize(8192);
  port->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
}

void TFxCustomAbstractFax::OnPortClosing(bool destroying) {
  if (m_session)
    m_session->Detach();
  if (destroying) {
    m_comPort->Port().removeCloseHook(m_closeHook);
    m_closeHook = 0;
    m_comPort = nullptr;
  }
}

// While a call runs the machine writes the records on the dispatcher
// thread: other threads read the copy it publishes. Otherwise the records
// are the main thread's own.
template <class T, class Direct>
T TFxCustomAbstractFax::Published(T faxengine::PublishedCall::*field, Direct direct) const {
  if (!Running())
    return direct();
  std::lock_guard lock(m_rec.published.lock);
  return m_rec.published.*field;
}

std::string TFxCustomAbstractFax::RemoteIdent() const {
  return Published(&faxengine::PublishedCall::remoteID, [this] { return m_rec.remoteID; })
      .substr(0, 20);
}

std::string TFxCustomAbstractFax::LastHangupCode() const {
  return Published(&faxengine::PublishedCall::hangupCode,
                   [this] { return m_proto.lastHangupCode; });
}

int32_t TFxCustomAbstractFax::LinkSpeed() const {
  return Published(&faxengine::PublishedCall::bps, [this] { return m_proto.bps; });
}

bool TFxCustomAbstractFax::LinkFine() const {
  return Published(&faxengine::PublishedCall::fine, [this] { return m_proto.fine; });
}

bool TFxCustomAbstractFax::LinkWide() const {
  return Published(&faxengine::PublishedCall::wide, [this] { return m_proto.wide; });
}

bool TFxCustomAbstractFax::LinkECM() const {
  return Published(&faxengine::PublishedCall::ecm, [this] { return m_proto.ecm; });
}

faximage::FaxCoding TFxCustomAbstractFax::LinkCoding() const {
  return Published(&faxengine::PublishedCall::coding, [this] { return m_proto.coding; });
}

int TFxCustomAbstractFax::PageCount() const {
  return m_rec.filePageCount + m_rec.coverPageCount;
}

long TFxCustomAbstractFax::PageBytesDone() const {
  long done = m_rec.pageBytesDone;
  if (IsSender() && m_comPort && m_comPort->Open())
    done -= m_comPort->Port().outputCount();
  return std::max(0L, done);
}

serial::ComPort& TFxCustomAbstractFax::PortLayer() {
  return m_comPort->Port();
}

void TFxCustomAbstractFax::AbortFax() {
  std::lock_guard lock(m_sessionMutex);
  if (m_session)
    m_session->Abort();
}

// ------------------------------------------------------------ modem dialogue

int TFxCustomAbstractFax::SyncCommand(const std::string& command, std::string* answer) {
  serial::ComPort& port = PortLayer();
  const bool held = port.holdDispatch(true);
  faxengine::FaxSession::DelayMs(100);
  const std::string text = command + "\r";
  port.sendBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const uint32_t start = platform::tickCount();
  std::string line;
  int lines = 0;
  int result = ecFaxBadModemResult;
  bool decided = false;
  while (!decided && !port.deviceLost() &&
         platform::tickCount() - start < static_cast<uint32_t>(m_proto.responseTicks)) {
    uint8_t b;
    if (port.readByte(b) != 0) {
      platform::processPendingEvents();
      port.waitForInput(20);
      continue;
    }
    if (b != '\r') {
      if (b >= 32)
        line.push_back(static_cast<char>(b));
      if (line.size() > 128)
        line.erase(0, line.size() - 128);
      continue;
    }
    if (line.empty() || line == command) {
      line.clear();
      continue;
    }
    // A call ringing in is no answer to the command; the receive machine
    // counts it once the set-up is done.
    if (line == "RING") {
      ++m_proto.setupRings;
      line.clear();
      continue;
    }
    if (line.find("ERROR") != std::string::npos) {
      decided = true;
    } else if (line.find("OK") != std::string::npos || ++lines >= 2) {
      result = 0;
      decided = true;
    } else if (answer) {
      *answer = line;
    }
    line.clear();
  }
  port.discardInput();
  port.holdDispatch(held);
  return result;
}

void TFxCustomAbstractFax::DtrReset() {
  serial::ComPort& port = PortLayer();
  port.discardInput();
  port.discardOutput();
  port.setModemLines(false, false);
  faxengine::FaxSession::DelayMs(500);
  port.setModemLines(true, true);
  faxengine::FaxSession::DelayMs(500);
}

int TFxCustomAbstractFax::DetectClass() {
  DtrReset();
  if (SyncCommand(m_proto.initString) != 0 && SyncCommand(m_proto.initString) != 0)
    return ecFaxBadModemResult;
  std::string answer;
  if (SyncCommand("AT+FCLASS=?", &answer) != 0)
    return ecFaxBadModemResult;
  int classes = 0;
  const bool has20 = answer.find("2.0") != std::string::npos;
  if (answer.find('1') != std::string::npos)
    classes |= faxengine::kClassBit1;
  if (has20)
    classes |= faxengine::kClassBit2_0;
  if (answer.find(has20 ? "2," : "2") != std::string::npos)
    classes |= faxengine::kClassBit2;
  m_cachedClasses = classes;
  return classes;
}

int TFxCustomAbstractFax::ModemClasses() {
  if (m_rec.initialized && m_cachedClasses >= 0)
    return m_cachedClasses;
  if (!m_comPort)
    RaiseFxError(ecPortNotAssigned);
  if (!m_comPort->Open())
    m_comPort->SetOpen(true);
  const int classes = DetectClass();
  return classes < 0 ? 0 : classes;
}

int TFxCustomAbstractFax::InitializeModem() {
  if (m_rec.initialized)
    return 0;
  if (!m_proto.modemInit.empty() && SyncCommand(m_proto.modemInit) != 0)
    return ecFaxBadModemResult;
  if (SyncCommand(m_proto.initString) != 0)
    return ecFaxBadModemResult;
  m_rec.initialized = true;
  return 0;
}

void TFxCustomAbstractFax::BuildDialect() {
  m_proto.dialect = faxengine::MakeDialect(m_rec.faxClass);
}

int TFxCustomAbstractFax::ChooseClass() {
  if (m_rec.faxClass == fcUnknown)
    m_rec.faxClass = fcDetect;
  if (m_rec.faxClass != fcDetect)
    return 0;
  const int classes = DetectClass();
  if (classes > 0 && (classes & faxengine::kClassBit2_0))
    m_rec.faxClass = fcClass2_0;
  else if (classes > 0 && (classes & faxengine::kClassBit2))
    m_rec.faxClass = fcClass2;
  else if (classes > 0 && (classes & faxengine::kClassBit1))
    m_rec.faxClass = fcClass1;
  else
    return ecFaxBadModemResult;
  return 0;
}

// ------------------------------------------------------------ call start

void TFxCustomAbstractFax::StartCall(bool sending) {
  if (!m_comPort)
    RaiseFxError(ecPortNotAssigned);
  if (m_comPort->DeviceLayer() == dlWinsock)
    RaiseFxError(ecCannotUseWithWinSock);
  if (m_comPort->OutSize() < 8192)
    RaiseFxError(ecOutputBufferTooSmall);
  if (Running())
    RaiseFxError(ecModemBusy);
  if (!m_comPort->Open())
    m_comPort->SetOpen(true);
  ReplaceSession(nullptr);
  if (!m_life)
    m_life = std::make_shared<int>(0);
  const platform::PortFaxFeatures features = platform::PortFeatures(m_comPort->ComNumber());
  m_proto.portEcm = features.ecm;
  m_proto.port2D = features.twoDim;
  const int rc = InitializeCall();
  ReplaceSession(
      std::make_unique<faxengine::FaxSession>(PortLayer(), m_rec, m_proto, *this, sending));
  m_session->SetLifeToken(m_life);
  if (rc != 0) {
    m_rec.lastError = rc;
    FaxErrorEvent(rc);
    FaxStatusEvent(false, true);
    std::weak_ptr<void> life = m_life;
    platform::mainThreadDispatcher().post([this, life, rc] {
      if (!life.expired())
        FaxFinishEvent(rc);
    });
    ReplaceSession(nullptr);
    return;
  }
  std::unique_ptr<faxengine::FaxMachine> machine;
  faxengine::FaxSession& s = *m_session;
  if (m_rec.faxClass == fcClass1)
    machine =
        sending ? faxengine::MakeClass1SendMachine(s) : faxengine::MakeClass1ReceiveMachine(s);
  else
    machine =
        sending ? faxengine::MakeClass2SendMachine(s) : faxengine::MakeClass2ReceiveMachine(s);
  s.Start(std::move(machine));
}

// ------------------------------------------------------------ events

void TFxCustomAbstractFax::FaxStatusEvent(bool first, bool last) {
  if (m_statusDisplay)
    m_statusDisplay->UpdateDisplay(first, last);
  if (OnFaxStatus)
    OnFaxStatus(*this, first, last);
}

void TFxCustomAbstractFax::FaxLogEvent(int logCode) {
  if (m_faxLog)
    m_faxLog->UpdateLog(*this, logCode);
  if (OnFaxLog)
    OnFaxLog(*this, logCode);
  if (logCode >= faxengine::lfaxReceiveOk)
    m_faxFile.clear();
}

void TFxCustomAbstractFax::FaxErrorEvent(int errorCode) {
  m_rec.lastError = errorCode;
  if (OnFaxError)
    OnFaxError(*this, errorCode);
}

void TFxCustomAbstractFax::FaxFinishEvent(int errorCode) {
  if (OnFaxFinish)
    OnFaxFinish(*this, errorCode);
}
