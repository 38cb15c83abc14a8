#include "serial/TraceText.h"

namespace serial {

namespace {
bool printable(uint8_t byte, bool hex) {
  return byte >= (hex ? '!' : ' ') && byte <= '~';
}
} // namespace

int byteTextWidth(uint8_t byte, bool hex) {
  if (printable(byte, hex))
    return 1;
  if (hex)
    return 4;
  return byte < 10 ? 3 : byte < 100 ? 4 : 5;
}

int appendByteText(std::string& out, uint8_t byte, bool hex) {
  if (printable(byte, hex)) {
    out.push_back(static_cast<char>(byte));
    return 1;
  }
  static const char digits[] = "0123456789ABCDEF";
  out.push_back('[');
  if (hex) {
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 15]);
  } else {
    out += std::to_string(byte);
  }
  out.push_back(']');
  return byteTextWidth(byte, hex);
}

void WrappedLine::add(uint8_t byte, bool hex) {
  const int width = byteTextWidth(byte, hex);
  if (m_column + width > kLineLimit) {
    m_out.push_back('\n');
    m_out.append(static_cast<size_t>(m_indent), ' ');
    m_column = m_indent;
  }
  appendByteText(m_out, byte, hex);
  m_column += width;
}

} // namespace serial
