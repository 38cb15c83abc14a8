#include "core/Settings.h"

#include "core/IniFile.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"

#include <cerrno>
#include <unistd.h>
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
    {"Printing", "SendAtOnce", &TSettings::SendPrintedAtOnce},
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

// Values go into the file's text in memory; the file is replaced once.
struct Writer {
  platform::ProfileText& text;
  const Key& key;
  const TSettings& in;
  void operator()(std::string TSettings::*m) const { set(in.*m); }
  void operator()(int TSettings::*m) const { set(std::to_string(in.*m)); }
  void operator()(bool TSettings::*m) const { set(in.*m ? "1" : "0"); }
  void set(const std::string& value) const { text.setValue(key.section, key.name, value); }
};

} // namespace

void LoadSettings(TSettings& settings, const std::string& iniPath) {
  const TSettings defaults;
  const IniFile ini(iniPath);
  for (const Key& key : Keys)
    std::visit(Reader{ini, key, settings, defaults}, key.field);
}

// All keys are written in one replacement of the file: a failure (full
// disk, read-only folder) leaves the old file whole, never half the new
// settings.
void SaveSettings(const TSettings& settings, const std::string& iniPath) {
  errno = 0;
  auto bytes = platform::readProfileFile(iniPath);
  if (!bytes)
    throw EIniWriteError(iniPath, errno);
  platform::ProfileText text(*bytes);
  for (const Key& key : Keys)
    std::visit(Writer{text, key, settings}, key.field);
  if (text.bytes() == *bytes && ::access(iniPath.c_str(), F_OK) == 0)
    return;
  if (!platform::replaceProfileFile(iniPath, text.bytes()))
    throw EIniWriteError(iniPath, errno);
}

void LoadSettings() {
  LoadSettings(Settings, platform::IniFileName());
}

void SaveSettings() {
  SaveSettings(Settings, platform::IniFileName());
}

} // namespace app
