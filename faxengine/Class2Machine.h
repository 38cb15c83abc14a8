#pragma once
// Parts shared by the Class 2 / 2.0 send and receive machines: the dialect
// in use, the screening of ERROR and hang-up reports, and the negotiated
// session parameters.

#include "faxengine/Class2Protocol.h"
#include "faxengine/ModemMachine.h"

#include <string>

namespace faxengine {

class Class2MachineBase : public virtual ModemMachine {
protected:
  explicit Class2MachineBase(FaxSession& session)
      : ModemMachine(session), m_is20(session.Rec().faxClass == fcClass2_0) {}

  // ERROR fails the machine with ecFaxBadModemResult unless `errorAllowed`;
  // a hang-up report, unless `hangupAllowed`, keeps its code and fails the
  // machine with `hangupError`. True when the line moved the machine.
  bool ScreenReports(const std::string& line, bool errorAllowed, bool hangupAllowed,
                     int hangupError);
  // Takes the session parameters of a negotiation report line.
  void TakeParams(const std::string& line);
  // The coding and error correction to offer: what the caller wants, the
  // port's switches allow and the modem reports it can do.
  Class2Offer Offer() const;

  bool m_is20;
};

} // namespace faxengine
