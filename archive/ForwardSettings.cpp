#include "archive/ForwardSettings.h"

#include "platform/ProfileFile.h"

#include <cstdlib>

namespace archive {

namespace {

constexpr const char* kSection = "Forward";

std::string get(const char* key, const std::string& path, const char* fallback = "") {
  return platform::GetPrivateProfileString(kSection, key, fallback, path);
}

} // namespace

ForwardRules LoadForwardRules(const std::string& iniPath) {
  ForwardRules r;
  r.SaveToFolder = get("SaveToFolder", iniPath) == "1";
  r.Folder = get("Folder", iniPath);
  r.SendMail = get("SendMail", iniPath) == "1";
  r.Mail.Host = get("SmtpHost", iniPath);
  const long port = std::strtol(get("SmtpPort", iniPath, "587").c_str(), nullptr, 10);
  r.Mail.Port = port > 0 && port < 65536 ? int(port) : 587;
  r.Mail.User = get("SmtpUser", iniPath);
  r.Mail.From = get("MailFrom", iniPath);
  r.Mail.To = get("MailTo", iniPath);
  r.Mail.CaFile = get("CaFile", iniPath);
  return r;
}

bool SaveForwardRules(const ForwardRules& r, const std::string& iniPath) {
  const std::pair<const char*, std::string> keys[] = {
      {"SaveToFolder", r.SaveToFolder ? "1" : "0"},
      {"Folder", r.Folder},
      {"SendMail", r.SendMail ? "1" : "0"},
      {"SmtpHost", r.Mail.Host},
      {"SmtpPort", std::to_string(r.Mail.Port)},
      {"SmtpUser", r.Mail.User},
      {"MailFrom", r.Mail.From},
      {"MailTo", r.Mail.To},
      {"CaFile", r.Mail.CaFile},
  };
  for (const auto& [key, value] : keys)
    if (!platform::WritePrivateProfileString(kSection, key, value, iniPath))
      return false;
  return true;
}

} // namespace archive
