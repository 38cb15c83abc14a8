#include "serial/TextMatcher.h"

namespace serial {

TextMatcher::TextMatcher(std::string text, bool ignoreCase)
    : m_text(std::move(text)), m_ignoreCase(ignoreCase) {
  for (char& c : m_text)
    c = static_cast<char>(fold(static_cast<uint8_t>(c)));
  // Border table: m_fallback[i] is the length of the longest proper prefix
  // of text[0..i] that is also its suffix.
  m_fallback.assign(m_text.size(), 0);
  for (size_t i = 1, k = 0; i < m_text.size(); ++i) {
    while (k > 0 && m_text[i] != m_text[k])
      k = m_fallback[k - 1];
    if (m_text[i] == m_text[k])
      ++k;
    m_fallback[i] = k;
  }
}

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
    m_position = m_fallback[m_position - 1]; // go on looking after a match
  const char b = static_cast<char>(fold(byte));
  while (m_position > 0 && b != m_text[m_position])
    m_position = m_fallback[m_position - 1];
  if (b == m_text[m_position])
    ++m_position;
  return matched();
}

} // namespace serial
