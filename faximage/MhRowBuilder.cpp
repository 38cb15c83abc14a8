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

void MhRowBuilder::run(int length) {
  m_eolCount = 0;
  if (m_beforeFirstEol)
    return;
  // A run that would not fit the row buffer is ignored: such a row is far
  // wider than any fax row and is dropped at its EOL anyway. Checking whole
  // pixels (not just bytes) keeps the black fill inside the buffer.
  if (m_pixel + unsigned(length) > kRowBufferBytes * 8)
    return;
  if (m_colour == MhColour::Black)
    setBlack(m_pixel, unsigned(length));
  m_pixel += unsigned(length);
  if (length < 64)
    m_colour = m_colour == MhColour::White ? MhColour::Black : MhColour::White;
}

void MhRowBuilder::setBlack(unsigned from, unsigned count) {
  if (count == 0)
    return;
  unsigned end = from + count; // exclusive
  unsigned firstByte = from / 8, lastByte = (end - 1) / 8;
  uint8_t headMask = uint8_t(0xFF >> (from % 8));
  uint8_t tailMask = uint8_t(0xFF << (7 - (end - 1) % 8));
  if (firstByte == lastByte) {
    m_row[firstByte] |= headMask & tailMask;
    return;
  }
  m_row[firstByte] |= headMask;
  if (lastByte > firstByte + 1)
    std::memset(&m_row[firstByte + 1], 0xFF, lastByte - firstByte - 1);
  m_row[lastByte] |= tailMask;
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
