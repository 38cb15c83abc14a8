#pragma once
// Turns decoded Modified Huffman events (runs, ends of line, invalid codes)
// into raster rows. Both decoders (the bit-by-bit tree walker and the
// table-driven fast one) feed the same builder, so they agree on what a row is.
//
// A row is handed on at its terminating EOL only when it filled exactly 216 or
// 256 whole bytes (1728-1735 or 2048-2055 pixels); shorter or longer rows are
// dropped and counted. Runs before the first EOL of a page are ignored.

#include "faximage/ChangingElements.h"
#include "faximage/MhDecodeTree.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace faximage {

class MhRowSink {
public:
  virtual ~MhRowSink() = default;
  // One decoded row, MSB first, 1 = black; bytes is 216 or 256.
  virtual void decodedRow(const uint8_t* row, std::size_t bytes) = 0;
};

class MhRowBuilder {
public:
  static constexpr std::size_t kRowBufferBytes = 512;

  explicit MhRowBuilder(MhRowSink& sink) : m_sink(sink) {}

  // Start of a page: empty white row, no EOL seen yet, counters cleared.
  void startPage();
  // Returns the colour of the next run.
  MhColour run(int length) { return runOf(m_colour, length); }
  // The same for a caller that keeps colour() at hand: `colour` must be it.
  // The result comes back in a register, not through the builder's memory,
  // which the row's byte stores would make the decoder wait for.
  MhColour runOf(MhColour colour, int length) {
    m_eolCount = 0;
    if (m_beforeFirstEol)
      return colour;
    // A run that would not fit the row buffer is ignored: such a row is far
    // wider than any fax row and is dropped at its EOL anyway. Checking whole
    // pixels (not just bytes) keeps the black fill inside the buffer.
    if (m_pixel + unsigned(length) > kRowBufferBytes * 8)
      return colour;
    if (colour == MhColour::Black)
      setBlack(m_pixel, unsigned(length));
    m_pixel += unsigned(length);
    if (length < 64)
      colour = colour == MhColour::White ? MhColour::Black : MhColour::White;
    m_colour = colour;
    return colour;
  }
  void endOfLine();
  void invalidCode() { ++m_invalidCodes; }

  MhColour colour() const { return m_colour; }
  int eolCount() const { return m_eolCount; }
  unsigned long invalidCodes() const { return m_invalidCodes; }
  unsigned long droppedRows() const { return m_droppedRows; }

private:
  void setBlack(unsigned from, unsigned count) { fillBlack(m_row.data(), from, from + count); }

  MhRowSink& m_sink;
  std::array<uint8_t, kRowBufferBytes> m_row{};
  unsigned m_pixel = 0;
  MhColour m_colour = MhColour::White;
  bool m_beforeFirstEol = true;
  int m_eolCount = 0;
  unsigned long m_invalidCodes = 0;
  unsigned long m_droppedRows = 0;
};

} // namespace faximage
