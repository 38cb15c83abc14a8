#pragma once
// What a Class 1 modem gave its DTE in a data phase.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The octets (frames with their FCS, or a page's bit stream) between the
// first CONNECT and DLE ETX in what the DTE read, with DLE doubling undone.
inline std::vector<uint8_t> dataToDte(const std::string& dte) {
  constexpr uint8_t dle = 0x10, etx = 0x03;
  std::vector<uint8_t> out;
  const size_t from = dte.find("CONNECT\r\n");
  if (from == std::string::npos)
    return out;
  for (size_t i = from + 9; i < dte.size(); ++i) {
    auto c = static_cast<uint8_t>(dte[i]);
    if (c == dle && i + 1 < dte.size()) {
      if (static_cast<uint8_t>(dte[++i]) == etx)
        break;
      c = static_cast<uint8_t>(dte[i]);
    }
    out.push_back(c);
  }
  return out;
}

} // namespace testsupport
