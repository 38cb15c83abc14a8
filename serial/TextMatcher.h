#pragma once
// The matcher WaitForText runs over incoming bytes: it advances on each byte
// that equals the next expected character and otherwise falls back to the
// start (position 1 when the byte equals the first character).

#include <cstdint>
#include <string>

namespace serial {

class TextMatcher {
public:
  TextMatcher(std::string text, bool ignoreCase);

  // Feeds one byte; true once the whole text has been matched.
  bool feed(uint8_t byte);
  bool matched() const { return !m_text.empty() && m_position == m_text.size(); }
  size_t position() const { return m_position; }
  void reset() { m_position = 0; }

private:
  uint8_t fold(uint8_t c) const;

  std::string m_text;
  bool m_ignoreCase;
  size_t m_position = 0;
};

} // namespace serial
