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
  // The modem does error correction itself; the page data is in this coding.
  m_proto.coding = p.df == '3'   ? faximage::FaxCoding::Mmr
                   : p.df == '1' ? faximage::FaxCoding::Mr
                                 : faximage::FaxCoding::Mh;
  m_proto.bps = p.bps;
  m_proto.bpsCode = p.bpsCode - '0';
  m_proto.scanTimeCode = p.scanTime;
}

Class2Offer Class2MachineBase::Offer() const {
  return ChooseClass2Offer(m_proto.class2CapsAnswer, m_proto.desired2D && m_proto.port2D,
                           m_proto.desiredECM && m_proto.portEcm);
}

} // namespace faxengine
