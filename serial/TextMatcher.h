#pragma once
// The matcher WaitForText runs over incoming bytes. On a mismatch it falls
// back to the longest start of the text that the bytes just seen still
// match, so a text is found wherever it occurs, also when a partial match
// overlaps the real one ("OOK" inside "OOOK").

#include <cstdint>
#include <string>
#include <vector>

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

  std::string m_text; // folded when ignoring case
  bool m_ignoreCase;
  std::vector<size_t> m_fallback; // longest proper border of each prefix
  size_t m_position = 0;
};

} // namespace serial
