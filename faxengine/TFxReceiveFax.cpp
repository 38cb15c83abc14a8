// The receive component: the receive initialisation, file names and the
// accept decision.

#include "faxengine/TFxReceiveFax.h"

#include "faxengine/ReceivedFile.h"
#include "serial/TFxCustomComPort.h"

void TFxCustomReceiveFax::BeginReceive() {
  m_rec.lastError = 0;
  m_rec.status = 0;
  m_proto.setupRings = 0;
  StartCall(false);
}

int TFxCustomReceiveFax::InitializeCall() {
  if (int rc = ChooseClass())
    return rc;
  BuildDialect();
  serial::ComPort& port = PortLayer();
  const bool held = port.holdDispatch(true);
  int rc = InitializeModem();
  if (rc == 0) {
    // A command that fails ends the set-up quietly: the machine's first
    // state sends the class command again.
    if (m_rec.faxClass == fcClass1) {
      if (SyncCommand("AT+FCLASS=1") == 0) {
        m_proto.class1CapsAnswer.clear();
        SyncCommand("AT+FRM=?", &m_proto.class1CapsAnswer);
      }
    } else {
      const char* aa = m_rec.faxAndData ? "AT+FAA=1" : "AT+FAA=0";
      m_proto.class2CapsAnswer.clear();
      (void)(SyncCommand(m_proto.dialect.classCmd) == 0 &&
             SyncCommand(m_proto.dialect.modemCaps + "=?", &m_proto.class2CapsAnswer) == 0 &&
             SyncCommand("AT+FCR=1") == 0 &&
             SyncCommand(m_proto.dialect.localId + "=\"" + m_rec.stationID + "\"") == 0 &&
             SyncCommand(aa) == 0);
    }
    if (m_rec.initBaud != 0 && m_rec.normalBaud != 0) {
      serial::LineSettings line;
      if (port.getLine(line) == 0) {
        line.baud = m_rec.normalBaud;
        port.setLine(line);
      }
    }
  }
  port.discardInput();
  port.holdDispatch(held);
  return rc;
}

void TFxCustomReceiveFax::FaxNameEvent() {
  std::string name;
  if (OnFaxName)
    OnFaxName(*this, name);
  else
    name = faxengine::DefaultReceiveName(m_rec.destinationDir, m_rec.faxFileExt, NamingMode);
  m_faxFile = name;
  m_rec.faxFile = name;
}

bool TFxCustomReceiveFax::FaxAcceptEvent() {
  bool accept = true;
  if (OnFaxAccept)
    OnFaxAccept(*this, accept);
  return accept;
}

void TFxCustomReceiveFax::FaxLogEvent(int logCode) {
  TFxCustomAbstractFax::FaxLogEvent(logCode);
}
