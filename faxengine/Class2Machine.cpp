// The parts shared by the Class 2 / 2.0 machines.

#include "faxengine/Class2Machine.h"

#include "faxengine/Class2Protocol.h"
#include "platform/FxErrors.h"

namespace faxengine {

bool Class2MachineBase::ScreenReports(const std::string& line, bool errorAllowed,
                                      bool hangupAllowed, int hangupError) {
  if (!errorAllowed && line.find("ERROR") != std::string::npos) {
    Fail(ecFaxBadModemResult);
    return true;
  }
  if (!hangupAllowed && line.find(m_proto.dialect.hangupWord) != std::string::npos) {
    m_proto.lastHangupCode = ParseHangupCode(line);
    Fail(hangupError);
    return true;
  }
  return false;
}

void Class2MachineBase::TakeParams(const std::string& line) {
  const Class2Params p = ParseClass2Params(line);
  m_proto.fine = p.fine;
  m_proto.wide = p.wide;
  m_proto.ecm = p.ecm;
  m_proto.bps = p.bps;
  m_proto.bpsCode = p.bpsCode - '0';
  m_proto.scanTimeCode = p.scanTime;
}

} // namespace faxengine
