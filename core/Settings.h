#pragma once
// The user's settings: one process-wide record mirroring TOV.INI key for key.
// Strings hold Windows-1252 bytes, as in the file.

#include <string>

namespace app {

struct TSettings {
  std::string WavFile;            // [Receive] Wav: sound played after a fax arrived
  bool ReceiveAtStartup = false;  // [Receive] AtStartup
  int AnswerOnRing = 1;           // [Receive] AnswerOnRing: 1 to 3
  std::string UserFax;            // [User] Fax: own number, the station ID
  std::string UserName;           // [User] Name
  std::string DialPrefix;         // [Dialing] DialPrefix
  std::string InitString;         // [Modem] InitString: extra initialisation, without "AT"
  int DialAttempts = 3;           // [Dialing] DialAttempts
  int RetryWait = 60;             // [Dialing] RetryWait: seconds between attempts
  bool BlindDial = false;         // [Dialing] BlindDial
  bool IgnoreBusy = false;        // [Dialing] IgnoreBusy
  int ComPort = -1;               // [Modem] ComPort: 0 = COM1 ... 5 = COM6, -1 never configured
  int FaxClass = 0;               // [Modem] FaxClass: 0 detect, 1 class 1, 2 class 2, 3 class 2.0
  int ToneOrPulse = 0;            // [Dialing] ToneOrPulse: 0 tone, 1 pulse
  int Timeout = 60;               // [Dialing] Timeout: seconds after dialling
  int MaximumBPS = 9600;          // [Modem] MaximumBPS
  std::string ResetString;        // [Resetting] String: sent before receive mode
  std::string AfterResetString;   // [Resetting] AfterString: sent after receive mode
  std::string FontName = "Arial"; // [Default Font] Name
  int FontSize = 10;              // [Default Font] Size, points
  bool FontBold = false;          // [Default Font] Bold
  bool FontItalic = false;        // [Default Font] Italic
  bool FontUnderline = false;     // [Default Font] Underline
  bool HintsOn = true;            // [Hints] On
  bool SendPrintedAtOnce = false; // [Printing] SendAtOnce: a printed fax with a number is sent

  bool operator==(const TSettings&) const = default;
};

// The settings of this run.
extern TSettings Settings;

// Every key of the file into the record; missing keys and numbers that are
// not numbers take the defaults above. Reading never creates the file.
void LoadSettings(TSettings& settings, const std::string& iniPath);

// Every field into the file, in the fixed key order (a new file therefore has
// the sections Receive, User, Dialing, Modem, Default Font, Resetting, Hints).
// Throws EIniWriteError ("Unable to write to <path>") at the first key the
// file refuses; the keys after it are not written.
void SaveSettings(const TSettings& settings, const std::string& iniPath);

// The same for the global record and ProgramDir + "TOV.INI".
void LoadSettings();
void SaveSettings();

} // namespace app
