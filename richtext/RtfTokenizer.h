#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace richtext {

// Splits RTF bytes into groups, control words, control symbols and text.
// Every call consumes at least one byte, so a reader built on it always ends.
class RtfTokenizer {
public:
  enum class Kind { End, GroupStart, GroupEnd, Word, Symbol, HexByte, Text };

  struct Token {
    Kind kind = Kind::End;
    std::string word;       // control word name, or the text run
    bool hasParam = false;  // control word carried a number
    int param = 0;          // clamped to the int range
    char symbol = 0;        // control symbol character
    unsigned char byte = 0; // value of a \'hh escape
  };

  explicit RtfTokenizer(std::string_view data) : m_data(data) {}

  Token next();
  // Skips the binary data that follows \binN.
  void skipBytes(std::size_t count);
  // The binary data that follows \binN (fewer bytes where the data ends).
  std::string_view takeBytes(std::size_t count);
  bool atEnd() const { return m_pos >= m_data.size(); }

private:
  Token readControl();
  Token readText();
  static int hexValue(char c);

  std::string_view m_data;
  std::size_t m_pos = 0;
};

} // namespace richtext
