#include "faxengine/ResponseLine.h"

namespace faxengine {

namespace {
constexpr std::size_t kMaxLine = 128;

std::string Trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
    ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
    --e;
  return s.substr(b, e - b);
}
} // namespace

bool ResponseLineBuffer::Put(uint8_t b, std::string& line) {
  if (b == '\r' || b == '\n') {
    line = Trimmed(m_buffer);
    m_buffer.clear();
    return !line.empty();
  }
  m_buffer.push_back(static_cast<char>(b));
  if (m_buffer.size() > kMaxLine)
    m_buffer.erase(0, m_buffer.size() - kMaxLine);
  return false;
}

} // namespace faxengine
