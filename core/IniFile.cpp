#include "core/IniFile.h"

#include <cerrno>
#include <cstring>

#include "platform/ProfileFile.h"

#include <charconv>
#include <cstdint>

namespace app {

EIniWriteError::EIniWriteError(const std::string& path, int error)
    : std::runtime_error("Unable to write to " + path +
                         (error != 0 ? std::string(": ") + std::strerror(error) : std::string())) {}

namespace {

// Hexadecimal values cover the full 32 bits, as "0xFFFFFFFF" is -1.
int parseHex(std::string_view digits, int defaultValue) {
  std::uint32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || end != digits.data() + digits.size())
    return defaultValue;
  return static_cast<int>(value);
}

int parseDecimal(std::string_view text, int defaultValue) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-')
      return defaultValue;
  }
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size())
    return defaultValue;
  return value;
}

} // namespace

int ParseIniInteger(std::string_view text, int defaultValue) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return parseHex(text.substr(2), defaultValue);
  return parseDecimal(text, defaultValue);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  return platform::GetPrivateProfileString(section, key, defaultValue, m_path);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
  return ParseIniInteger(ReadString(section, key, ""), defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  errno = 0;
  if (!platform::WritePrivateProfileString(section, key, value, m_path))
    throw EIniWriteError(m_path, errno);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

} // namespace app
