#include "core/ModemCommands.h"

#include "platform/FxErrors.h"
#include "serial/TFxCustomComPort.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int kCommandWaitTicks = 36; // about two seconds

std::string portText(const TFxCustomComPort& port) {
  return std::to_string(port.ComNumber());
}

std::string inUseText(const std::string& n) {
  return "The communications port is in use ( Com " + n + " )" + kModemTextBreak + kModemTextBreak +
         "Please make sure that all communication programs (internet, AOL, etc) are closed, "
         "and then try again.";
}

std::string serialErrorText(int code, const std::string& n) {
  std::string message = ErrorText(code);
  // ErrorText names codes it has no message for by number only.
  if (message.empty() || message == "Error " + std::to_string(code))
    message = "Unknown error";
  return "Unable to open the specified communications port ( Com" + n + " )" + kModemTextBreak +
         "Error message: " + message;
}

bool sendAndWaitForOk(TFxCustomComPort& port, const std::string& command) {
  try {
    port.SendText(command + '\r');
    return port.WaitForText("OK", kCommandWaitTicks, false, true);
  } catch (...) {
    return false;
  }
}

} // namespace

bool OpenModemPort(TFxCustomComPort& port, std::string& errorText) {
  errorText.clear();
  const std::string n = portText(port);
  try {
    port.SetOpen(true);
    return true;
  } catch (const EFxException& e) {
    const int code = e.ErrorCode();
    if (code == ecHardware || code == ecAlreadyOpen)
      errorText = inUseText(n);
    else if (code == ecBadId)
      errorText = "Unable to open the specified communications port ( Com" + n + " )";
    else
      errorText = serialErrorText(code, n);
  } catch (const std::exception& e) {
    errorText = "Unable to open the specified communications port( Com" + n + " )" +
                kModemTextBreak + "Error message: " + e.what();
  } catch (...) {
    errorText = "Unable to open the specified communications port( Com" + n + " )" +
                kModemTextBreak + "Error message: Unknown error";
  }
  return false;
}

bool SendModemCommand(TFxCustomComPort& port, std::string& command) {
  std::string upper = command;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper.find("AT") == std::string::npos)
    command = "AT" + command;
  return sendAndWaitForOk(port, command);
}

bool ResetModemToFactory(TFxCustomComPort& port) {
  return sendAndWaitForOk(port, "AT&F");
}
