#pragma once
// One AT command on an open port with the modem's answer lines collected,
// for the class check, which shows the user what the modem said.

#include <string>

class TFxCustomComPort;

namespace faxsend {

struct ModemAnswer {
  bool ok = false;   // the modem ended with OK
  std::string lines; // the answer lines before OK or ERROR, joined by blanks
};

// Sends `command` + CR and reads until OK, ERROR or about two seconds
// (36 ticks) have passed. The port's trigger handlers are held meanwhile.
ModemAnswer QueryModem(TFxCustomComPort& port, const std::string& command);

} // namespace faxsend
