#pragma once
// Runs one fax call of the send or receive component from the command line:
// a plain event loop on the main thread, status texts printed as they change,
// errors printed, and "Finished: " with the final code's text at the end.

#include "faxengine/TFxAbstractFax.h"
#include "serial/TFxComPort.h"

#include <string>

namespace cli {

class CommandLine;

// Opens the port on `device` with the optional trace file, and applies the
// options both directions share (--class, --speed, --station, --init,
// --history).
struct FaxCallSetup {
  TFxComPort port;
  std::string historyFile;
};
void setUpFaxCall(const CommandLine& cl, const std::string& device, FaxCallSetup& setup,
                  TFxCustomAbstractFax& fax);

// Starts the call with `begin`, runs until Finish (or aborts the call after
// `timeoutSeconds`, 0 = never, or on SIGINT/SIGTERM) and returns the code.
int runFaxCall(TFxCustomAbstractFax& fax, FaxCallSetup& setup, void (*begin)(TFxCustomAbstractFax&),
               int timeoutSeconds);

// After the modem vanished from the port: looks for the device once a
// second (sleeping between looks) until it opens again (true), or until
// SIGINT/SIGTERM or `timeoutSeconds` (0 = never) end the wait (false).
bool waitForDevice(FaxCallSetup& setup, int timeoutSeconds);

} // namespace cli
