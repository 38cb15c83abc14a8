#pragma once
// Typed access to one profile file (TOV.INI) with the program's number rules:
// integers are decimal text, "0x"/"0X" followed by at least one character is
// hexadecimal, and anything that is not a valid number reads as the default;
// booleans are integers, 0 false and any other value true.
// Each read and write goes to the file itself, one key at a time.

#include <stdexcept>
#include <string>
#include <string_view>

namespace app {

// A write the file system refused. The text is "Unable to write to <path>",
// followed by ": " and the system's reason when errno holds one.
class EIniWriteError : public std::runtime_error {
public:
  explicit EIniWriteError(const std::string& path, int error = 0);
};

// The integer a profile value stands for, or defaultValue when it is none.
int ParseIniInteger(std::string_view text, int defaultValue);

class IniFile {
public:
  explicit IniFile(std::string path) : m_path(std::move(path)) {}

  const std::string& FileName() const { return m_path; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // Each throws EIniWriteError when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

private:
  std::string m_path;
};

} // namespace app
