#pragma once
// Finds where zero fill may go into a stream of coded fax rows: only inside
// the run of zeros that leads an EOL, where more zeros change nothing
// (T.4 clause 4.1.3). A modem that runs short of page data from its DTE
// keeps the line busy there instead of breaking a row.

#include <cstddef>
#include <cstdint>

namespace tolvane::sim {

class FillPoints {
public:
  // Scans bytes in line order (first bit in the least significant bit).
  void feed(const uint8_t* data, size_t len);
  // Bytes of everything fed so far before the latest fill point.
  size_t latest() const { return m_cut; }

private:
  size_t m_bit = 0;
  size_t m_runStart = 0;
  int m_zeros = 0;
  size_t m_cut = 0;
};

} // namespace tolvane::sim
