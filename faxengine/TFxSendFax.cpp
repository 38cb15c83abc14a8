// The send component: dial settings, the job's faxes and the send
// initialisation.

#include "faxengine/TFxSendFax.h"

#include "platform/FxErrors.h"
#include "platform/TickClock.h"
#include "serial/TFxCustomComPort.h"

namespace {
// Ticks back to seconds, the inverse of secondsToTicks.
uint16_t TicksToSeconds(int32_t ticks) {
  return static_cast<uint16_t>((ticks * 92 + 1674) / 1675);
}
} // namespace

TFxCustomSendFax::TFxCustomSendFax() {
  ChooseInitString();
}

void TFxCustomSendFax::ChooseInitString() {
  const char x =
      m_proto.blindDial ? (m_proto.detectBusy ? '3' : '1') : (m_proto.detectBusy ? '4' : '2');
  m_proto.initString = std::string("ATE0Q0V1X") + x + "S0=0S2=43";
}

void TFxCustomSendFax::SetBlindDial(bool v) {
  m_proto.blindDial = v;
  ChooseInitString();
}

void TFxCustomSendFax::SetDetectBusy(bool v) {
  m_proto.detectBusy = v;
  ChooseInitString();
}

uint16_t TFxCustomSendFax::DialWait() const {
  return TicksToSeconds(m_proto.dialWait);
}
void TFxCustomSendFax::SetDialWait(uint16_t seconds) {
  m_proto.dialWait = platform::secondsToTicks(seconds);
}
uint16_t TFxCustomSendFax::DialRetryWait() const {
  return TicksToSeconds(m_rec.dialRetryWait);
}
void TFxCustomSendFax::SetDialRetryWait(uint16_t seconds) {
  m_rec.dialRetryWait = platform::secondsToTicks(seconds);
}

void TFxCustomSendFax::BeginTransmit() {
  m_singleFaxGiven = false;
  m_rec.maxSendCount = m_maxSendCount;
  m_rec.bufferMinimum = m_bufferMinimum;
  StartCall(true);
}

int TFxCustomSendFax::InitializeCall() {
  m_rec.state = 1;
  m_rec.status = faxengine::fpInitModem;
  m_rec.lastError = 0;
  FaxStatusEvent(true, false);
  m_rec.pageNumber = 0;
  m_rec.filePageCount = m_rec.coverPageCount = 0;
  m_rec.pageBytesDone = m_rec.pageBytesTotal = 0;
  m_rec.faxFile.clear();
  m_rec.coverFile.clear();
  m_rec.phoneNumber.clear();
  m_rec.dialAttempt = 0;
  serial::ComPort& port = PortLayer();
  serial::LineSettings line;
  if (port.getLine(line) == 0 && line.baud != 19200) {
    line.baud = 19200;
    port.setLine(line);
  }
  port.setModemLines(true, true);
  if (int rc = ChooseClass())
    return rc;
  if (int rc = InitializeModem())
    return rc;
  BuildDialect();
  if (m_rec.initBaud != 0 && m_rec.normalBaud != 0) {
    line.baud = m_rec.normalBaud;
    port.setLine(line);
  }
  if (m_rec.faxClass == fcClass1) {
    SyncCommand("AT+FCLASS=1");
    m_proto.class1CapsAnswer.clear();
    SyncCommand("AT+FTM=?", &m_proto.class1CapsAnswer);
  } else {
    // The codings and error correction the modem can do; nothing is offered
    // beyond them (a modem may refuse capabilities it lacks).
    m_proto.class2CapsAnswer.clear();
    if (SyncCommand(m_proto.dialect.classCmd) == 0)
      SyncCommand(m_proto.dialect.modemCaps + "=?", &m_proto.class2CapsAnswer);
  }
  return 0;
}

bool TFxCustomSendFax::FaxNextEvent() {
  std::string phone, fax, cover;
  if (OnFaxNext) {
    OnFaxNext(*this, phone, fax, cover);
  } else if (!m_singleFaxGiven) {
    phone = m_phoneNumber;
    fax = m_faxFile;
    cover = m_coverFile;
    m_singleFaxGiven = true;
  }
  if (phone.empty())
    return false;
  m_rec.phoneNumber = phone.substr(0, 40);
  m_rec.faxFile = fax;
  m_rec.coverFile = cover;
  m_faxFile = fax;
  return true;
}
