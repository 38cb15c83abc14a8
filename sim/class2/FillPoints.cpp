#include "sim/class2/FillPoints.h"

namespace tolvane::sim {

void FillPoints::feed(const uint8_t* data, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    for (int b = 0; b < 8; ++b, ++m_bit) {
      if (((data[i] >> b) & 1) == 0) {
        if (m_zeros++ == 0)
          m_runStart = m_bit;
        continue;
      }
      // An EOL ends here: the first byte boundary inside its zero run is a
      // fill point (the run is at least 11 bits, so one always lies in it).
      size_t cut = (m_runStart + 7) / 8;
      if (m_zeros >= 11 && cut * 8 < m_bit && cut > m_cut)
        m_cut = cut;
      m_zeros = 0;
    }
  }
}

} // namespace tolvane::sim
