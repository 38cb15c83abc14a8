#pragma once
// A Com entry that is a SIP line rather than a serial device: the account
// it registers (or the peer it calls directly), kept in TOV.INI section
// [SipLine<n>]. The password is never here: it lives in the desktop's
// secret store under SecretKey(). The Com entry's device path is then the
// pseudo-terminal link that tolvane-sipmodem makes in the data folder.

#include <string>
#include <vector>

namespace app {

struct SipLineSettings {
  bool Enabled = false;
  std::string User;      // the account's user name (often the phone number)
  std::string Registrar; // host[:port] of the registrar; empty: direct calls only
  std::string Domain;    // the account's domain when it is not the registrar's name
  std::string Peer;      // direct calls: host[:port] that numbers are dialled at
  std::string Listen;    // this computer's SIP address host:port; empty: chosen by the line

  bool Direct() const { return Registrar.empty(); }
  // The name the password is kept under in the secret store, e.g.
  // "sip:4930123456@sip.example.net"; empty for a direct line.
  std::string SecretKey() const;
  // tolvane-sipmodem's options for this line, its modem made at `link`.
  std::vector<std::string> Arguments(const std::string& link) const;
  // What is missing for the line to work, in a sentence; empty when complete.
  std::string Problem() const;

  bool operator==(const SipLineSettings&) const = default;
};

SipLineSettings LoadSipLine(int comNumber, const std::string& iniPath);
// Throws EIniWriteError when the file cannot be written.
void SaveSipLine(int comNumber, const SipLineSettings& line, const std::string& iniPath);

// The link to the line's modem: <data folder>sipline-com<n>.
std::string SipLineLink(int comNumber);

} // namespace app
