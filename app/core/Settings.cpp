#include "app/core/Settings.h"

#include "app/core/IniFile.h"
#include "platform/ProgramDir.h"

#include <variant>

namespace app {

TSettings Settings;

namespace {

using Field = std::variant<std::string TSettings::*, int TSettings::*, bool TSettings::*>;

struct Key {
  const char* section;
  const char* name;
  Field field;
};

// The keys in the order SaveSettings writes them.
const Key Keys[] = {
    {"Receive", "Wav", &TSettings::WavFile},
    {"Receive", "AtStartup", &TSettings::ReceiveAtStartup},
    {"Receive", "AnswerOnRing", &TSettings::AnswerOnRing},
    {"User", "Fax", &TSettings::UserFax},
    {"User", "Name", &TSettings::UserName},
    {"Dialing", "DialPrefix", &TSettings::DialPrefix},
    {"Modem", "InitString", &TSettings::InitString},
    {"Dialing", "DialAttempts", &TSettings::DialAttempts},
    {"Dialing", "RetryWait", &TSettings::RetryWait},
    {"Dialing", "BlindDial", &TSettings::BlindDial},
    {"Dialing", "IgnoreBusy", &TSettings::IgnoreBusy},
    {"Modem", "ComPort", &TSettings::ComPort},
    {"Modem", "FaxClass", &TSettings::FaxClass},
    {"Dialing", "ToneOrPulse", &TSettings::ToneOrPulse},
    {"Dialing", "Timeout", &TSettings::Timeout},
    {"Default Font", "Name", &TSettings::FontName},
    {"Default Font", "Size", &TSettings::FontSize},
    {"Default Font", "Bold", &TSettings::FontBold},
    {"Default Font", "Italic", &TSettings::FontItalic},
    {"Default Font", "Underline", &TSettings::FontUnderline},
    {"Modem", "MaximumBPS", &TSettings::MaximumBPS},
    {"Resetting", "String", &TSettings::ResetString},
    {"Resetting", "AfterString", &TSettings::AfterResetString},
    {"Hints", "On", &TSettings::HintsOn},
};

struct Reader {
  const IniFile& ini;
  const Key& key;
  TSettings& out;
  const TSettings& defaults;
  void operator()(std::string TSettings::*m) const {
    out.*m = ini.ReadString(key.section, key.name, defaults.*m);
  }
  void operator()(int TSettings::*m) const {
    out.*m = ini.ReadInteger(key.section, key.name, defaults.*m);
  }
  void operator()(bool TSettings::*m) const {
    out.*m = ini.ReadBool(key.section, key.name, defaults.*m);
  }
};

struct Writer {
  IniFile& ini;
  const Key& key;
  const TSettings& in;
  void operator()(std::string TSettings::*m) const {
    ini.WriteString(key.section, key.name, in.*m);
  }
  void operator()(int TSettings::*m) const { ini.WriteInteger(key.section, key.name, in.*m); }
  void operator()(bool TSettings::*m) const { ini.WriteBool(key.section, key.name, in.*m); }
};

} // namespace

void LoadSettings(TSettings& settings, const std::string& iniPath) {
  const TSettings defaults;
  const IniFile ini(iniPath);
  for (const Key& key : Keys)
    std::visit(Reader{ini, key, settings, defaults}, key.field);
}

void SaveSettings(const TSettings& settings, const std::string& iniPath) {
  IniFile ini(iniPath);
  for (const Key& key : Keys)
    std::visit(Writer{ini, key, settings}, key.field);
}

void LoadSettings() {
  LoadSettings(Settings, platform::IniFileName());
}

void SaveSettings() {
  SaveSettings(Settings, platform::IniFileName());
}

} // namespace app
