#pragma once
// One fuzz input for the profile reader and writer, shared by the fuzzer and
// by the test that replays stored inputs. Layout:
//   section 0x01 key 0x01 value 0x01 profile-text
// (without three separators the whole input is the text and the names are
// fixed). Returns false when the writer breaks its promise: a key it accepted
// must read back, and a value without blanks or quotes at its ends must read
// back unchanged.

#include "platform/ProfileFile.h"

#include <string>
#include <string_view>

namespace profile_fuzz {

inline bool splitPart(std::string_view& rest, std::string_view& part) {
  std::size_t sep = rest.find('\x01');
  if (sep == std::string_view::npos)
    return false;
  part = rest.substr(0, sep);
  rest.remove_prefix(sep + 1);
  return true;
}

inline bool plainValue(std::string_view v) {
  if (v.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return false;
  auto edge = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
  return v.empty() || (!edge(v.front()) && !edge(v.back()));
}

inline bool checkInput(std::string_view input) {
  std::string_view section = "Modem", key = "ComPort", value = "3";
  std::string_view rest = input;
  if (!(splitPart(rest, section) && splitPart(rest, key) && splitPart(rest, value))) {
    section = "Modem", key = "ComPort", value = "3";
    rest = input;
  }
  platform::ProfileText text{std::string(rest)};
  (void)text.value(section, key);
  (void)text.hasSection(section);
  if (!text.setValue(section, key, value))
    return true;
  auto back = text.value(section, key);
  if (!back)
    return false;
  return !plainValue(value) || *back == value;
}

} // namespace profile_fuzz
