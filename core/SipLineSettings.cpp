#include "core/SipLineSettings.h"

#include "core/IniFile.h"
#include "platform/ProgramDir.h"

namespace app {
namespace {

std::string section(int comNumber) {
  return "SipLine" + std::to_string(comNumber);
}

} // namespace

std::string SipLineSettings::SecretKey() const {
  if (Direct())
    return {};
  return "sip:" + User + "@" + (Domain.empty() ? Registrar : Domain);
}

std::vector<std::string> SipLineSettings::Arguments(const std::string& link) const {
  std::vector<std::string> args = {"--link", link};
  auto add = [&args](const char* option, const std::string& value) {
    if (!value.empty())
      args.insert(args.end(), {option, value});
  };
  add("--listen", Listen);
  if (Direct()) {
    add("--peer", Peer);
    add("--user", User);
  } else {
    add("--registrar", Registrar);
    add("--domain", Domain);
    add("--user", User);
  }
  return args;
}

std::string SipLineSettings::Problem() const {
  if (Direct() && Peer.empty() && Listen.empty())
    return "A SIP line needs the registrar of its account, or for direct calls the address "
           "it calls.";
  if (!Direct() && User.empty())
    return "A SIP line that registers needs the account's user name.";
  return {};
}

SipLineSettings LoadSipLine(int comNumber, const std::string& iniPath) {
  const IniFile file(iniPath);
  const std::string s = section(comNumber);
  SipLineSettings line;
  line.Enabled = file.ReadBool(s, "Enabled", false);
  line.User = file.ReadString(s, "User", "");
  line.Registrar = file.ReadString(s, "Registrar", "");
  line.Domain = file.ReadString(s, "Domain", "");
  line.Peer = file.ReadString(s, "Peer", "");
  line.Listen = file.ReadString(s, "Listen", "");
  return line;
}

void SaveSipLine(int comNumber, const SipLineSettings& line, const std::string& iniPath) {
  IniFile file(iniPath);
  const std::string s = section(comNumber);
  file.WriteBool(s, "Enabled", line.Enabled);
  file.WriteString(s, "User", line.User);
  file.WriteString(s, "Registrar", line.Registrar);
  file.WriteString(s, "Domain", line.Domain);
  file.WriteString(s, "Peer", line.Peer);
  file.WriteString(s, "Listen", line.Listen);
}

std::string SipLineLink(int comNumber) {
  return platform::ProgramDir() + "sipline-com" + std::to_string(comNumber);
}

} // namespace app
