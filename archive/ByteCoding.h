#pragma once
// Little-endian numbers and length-prefixed byte runs, for the binary forms
// in which the archive keeps fax text and word boxes. The reader never
// passes the end of its bytes: a short or damaged input is a false result.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace archive::bytes {

inline void put16(std::string& out, int value) {
  const auto v = uint16_t(std::clamp(value, 0, 0xffff));
  out += char(v & 0xff);
  out += char(v >> 8);
}

inline void put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out += char((v >> (8 * i)) & 0xff);
}

// A 32-bit length, then the bytes.
inline void putRun(std::string& out, std::string_view run) {
  put32(out, uint32_t(run.size()));
  out += run;
}

class Reader {
public:
  explicit Reader(std::string_view data) : m_data(data) {}
  bool get16(int& value) {
    if (m_data.size() < 2)
      return false;
    value = int(uint8_t(m_data[0])) | int(uint8_t(m_data[1])) << 8;
    m_data.remove_prefix(2);
    return true;
  }
  bool get32(uint32_t& value) {
    if (m_data.size() < 4)
      return false;
    value = 0;
    for (int i = 0; i < 4; ++i)
      value |= uint32_t(uint8_t(m_data[std::size_t(i)])) << (8 * i);
    m_data.remove_prefix(4);
    return true;
  }
  bool bytes(std::size_t n, std::string& out) {
    if (m_data.size() < n)
      return false;
    out.assign(m_data.substr(0, n));
    m_data.remove_prefix(n);
    return true;
  }
  bool run(std::string& out) {
    uint32_t size = 0;
    return get32(size) && bytes(size, out);
  }
  std::size_t left() const { return m_data.size(); }

private:
  std::string_view m_data;
};

} // namespace archive::bytes
