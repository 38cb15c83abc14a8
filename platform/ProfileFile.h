#pragma once
// Profile (INI) files read and written with the rules of the Windows profile
// services, so that TOV.INI files keep working both ways:
//  - "[Name]" starts a section; names and keys match without regard to case;
//    blanks and tabs around names, keys and values are ignored;
//  - "key=value" lines; a value enclosed in matching single or double quotes
//    comes back without them; at most ProfileStringMax bytes come back;
//  - only the first section of a name and the first key of a name count;
//  - a write changes one key: its line is rewritten, or a new line is added
//    after the last key of the section, or a new section is appended at the
//    end. Every other byte of the file is kept as it was.
// Text is bytes (Windows-1252 in this program's files); lines end in CR LF or
// LF, and new lines take the ending the file already uses (CR LF for a new
// file).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::size_t ProfileStringMax = 1023;

// The bytes of one profile file with lookup and single-key update.
class ProfileText {
public:
  ProfileText() = default;
  explicit ProfileText(std::string bytes) : m_bytes(std::move(bytes)) {}

  // The value of section/key (quotes removed, not truncated), or nothing.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  bool hasSection(std::string_view section) const;

  // Sets section/key to value. CR, LF and NUL bytes are dropped from the
  // value: they would end the line and plant foreign keys in the file.
  // Returns false for a section or key that cannot be written as a line
  // (empty, or holding line breaks, "]" in a section, "=" in a key or
  // "[" at its start).
  bool setValue(std::string_view section, std::string_view key, std::string_view value);

  const std::string& bytes() const { return m_bytes; }

private:
  std::string m_bytes;
};

// GetPrivateProfileString: the stored value or the default, at most
// ProfileStringMax bytes. A missing or unreadable file yields the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);

// WritePrivateProfileString: stores one key, creating the file or section as
// needed. The file is replaced through a temporary file in the same folder,
// so a failed write (full disk, read-only folder) leaves the old file whole.
// Returns false when the file could not be read or written.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

// Whole-file helpers used by the two functions above. readProfileFile gives
// an empty text for a missing file and nothing for an unreadable one.
// replaceProfileFile writes a temporary file, syncs it and renames it over
// the old one; on failure errno tells why and the old file is untouched.
std::optional<std::string> readProfileFile(const std::string& path);
bool replaceProfileFile(const std::string& path, const std::string& bytes);

} // namespace platform
