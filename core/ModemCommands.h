#pragma once
// Small modem services for the windows that own a serial port: opening it
// with the program's own error texts, sending one AT command and waiting for
// "OK", and resetting the modem to its factory profile.

#include <string>

class TFxCustomComPort;

// Opens the port. On failure returns false and sets `errorText` to the text
// the caller shows; nothing is raised.
bool OpenModemPort(TFxCustomComPort& port, std::string& errorText);

// Sends `command` + CR and waits about two seconds (36 ticks) for "OK".
// A command without "AT" (in any letter case) gets "AT" put in front, in the
// caller's string too, so a stored setting keeps the prefix. Every error
// yields false.
bool SendModemCommand(TFxCustomComPort& port, std::string& command);

// Sends "AT&F" + CR and waits for "OK" like SendModemCommand.
bool ResetModemToFactory(TFxCustomComPort& port);

// The line break inside the texts of OpenModemPort (a carriage return; the
// windows that show them turn it into a line break).
inline constexpr char kModemTextBreak = '\r';
