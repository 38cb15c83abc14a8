#include "richtext/RtfTokenizer.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace richtext {
namespace {

constexpr std::size_t kMaxWordLength = 32;
constexpr std::size_t kMaxTextRun = 4096;

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

} // namespace

int RtfTokenizer::hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

RtfTokenizer::Token RtfTokenizer::next() {
  Token t;
  if (m_pos >= m_data.size())
    return t;
  const char c = m_data[m_pos];
  if (c == '{') {
    ++m_pos;
    t.kind = Kind::GroupStart;
  } else if (c == '}') {
    ++m_pos;
    t.kind = Kind::GroupEnd;
  } else if (c == '\\') {
    return readControl();
  } else {
    return readText();
  }
  return t;
}

void RtfTokenizer::skipBytes(std::size_t count) {
  m_pos += std::min(count, m_data.size() - m_pos);
}

std::string_view RtfTokenizer::takeBytes(std::size_t count) {
  const std::size_t n = std::min(count, m_data.size() - m_pos);
  const std::string_view bytes = m_data.substr(m_pos, n);
  m_pos += n;
  return bytes;
}

RtfTokenizer::Token RtfTokenizer::readText() {
  Token t;
  t.kind = Kind::Text;
  while (m_pos < m_data.size() && t.word.size() < kMaxTextRun) {
    const char c = m_data[m_pos];
    if (c == '{' || c == '}' || c == '\\')
      break;
    ++m_pos;
    // Line ends in RTF source are formatting of the file, not of the text.
    if (c != '\r' && c != '\n')
      t.word.push_back(c);
  }
  return t;
}

RtfTokenizer::Token RtfTokenizer::readControl() {
  Token t;
  ++m_pos; // the backslash
  if (m_pos >= m_data.size()) {
    t.kind = Kind::End;
    return t;
  }
  const char c = m_data[m_pos];
  if (!isAsciiLetter(c)) {
    ++m_pos;
    if (c == '\'') {
      int hi = m_pos < m_data.size() ? hexValue(m_data[m_pos]) : -1;
      int lo = m_pos + 1 < m_data.size() ? hexValue(m_data[m_pos + 1]) : -1;
      if (hi >= 0 && lo >= 0) {
        m_pos += 2;
        t.kind = Kind::HexByte;
        t.byte = static_cast<unsigned char>(hi * 16 + lo);
        return t;
      }
      // A malformed escape is dropped with the one hex digit it may have.
      if (hi >= 0)
        ++m_pos;
      t.kind = Kind::Symbol;
      t.symbol = 0;
      return t;
    }
    // "\" followed by a line end is an old spelling of \par.
    if (c == '\n' || c == '\r') {
      t.kind = Kind::Word;
      t.word = "par";
      return t;
    }
    t.kind = Kind::Symbol;
    t.symbol = c;
    return t;
  }
  t.kind = Kind::Word;
  while (m_pos < m_data.size() && isAsciiLetter(m_data[m_pos])) {
    if (t.word.size() < kMaxWordLength)
      t.word.push_back(m_data[m_pos]);
    ++m_pos;
  }
  bool negative = false;
  if (m_pos < m_data.size() && m_data[m_pos] == '-' && m_pos + 1 < m_data.size() &&
      isDigit(m_data[m_pos + 1])) {
    negative = true;
    ++m_pos;
  }
  if (m_pos < m_data.size() && isDigit(m_data[m_pos])) {
    long long value = 0;
    while (m_pos < m_data.size() && isDigit(m_data[m_pos])) {
      value = std::min<long long>(value * 10 + (m_data[m_pos] - '0'), INT_MAX);
      ++m_pos;
    }
    t.hasParam = true;
    t.param = int(negative ? -value : value);
  }
  // A single space delimits the control word and belongs to it.
  if (m_pos < m_data.size() && m_data[m_pos] == ' ')
    ++m_pos;
  return t;
}

} // namespace richtext
