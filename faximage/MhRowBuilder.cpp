#include "faximage/MhRowBuilder.h"

#include <cstring>

namespace faximage {

void MhRowBuilder::startPage() {
  m_row.fill(0);
  m_pixel = 0;
  m_colour = MhColour::White;
  m_beforeFirstEol = true;
  m_eolCount = 0;
  m_invalidCodes = 0;
  m_droppedRows = 0;
}

void MhRowBuilder::endOfLine() {
  if (m_pixel > 0) {
    const std::size_t fullBytes = m_pixel / 8;
    if (fullBytes == 216 || fullBytes == 256)
      m_sink.decodedRow(m_row.data(), fullBytes);
    else
      ++m_droppedRows;
    std::memset(m_row.data(), 0, (m_pixel + 7) / 8);
  }
  m_pixel = 0;
  m_colour = MhColour::White;
  ++m_eolCount;
  m_beforeFirstEol = false;
}

} // namespace faximage
