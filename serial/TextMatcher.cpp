#include "serial/TextMatcher.h"

namespace serial {

TextMatcher::TextMatcher(std::string text, bool ignoreCase)
    : m_text(std::move(text)), m_ignoreCase(ignoreCase) {}

uint8_t TextMatcher::fold(uint8_t c) const {
  // Upper-casing of the ANSI letters: a-z and the Latin-1 range à..þ except ÷.
  if (!m_ignoreCase)
    return c;
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
    return static_cast<uint8_t>(c - 0x20);
  return c;
}

bool TextMatcher::feed(uint8_t byte) {
  if (m_text.empty())
    return false;
  if (matched())
    m_position = 0; // a new search after a completed match
  const uint8_t b = fold(byte);
  if (b == fold(static_cast<uint8_t>(m_text[m_position])))
    ++m_position;
  else
    m_position = (b == fold(static_cast<uint8_t>(m_text[0]))) ? 1 : 0;
  return matched();
}

} // namespace serial
