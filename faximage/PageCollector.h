#pragma once
// Collects the delivered rows of one page into a page bitmap. Rows land in
// slots of the page's row size (216 or 256 bytes) in a block that grows by
// 1024 rows at a time; at the end the bitmap is cut to the widest byte any
// row used (made even), so a narrow page gives a narrow bitmap.

#include "faximage/PageBitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace faximage {

class PageCollector {
public:
  static constexpr std::size_t kGrowRows = 1024;

  // inverted: rows arrive with 1 = white, so white bytes are 0xFF.
  void start(std::size_t slotBytes, bool inverted);
  // A row of length 0 is a blank row. Throws std::bad_alloc when memory is short.
  void addRow(const uint8_t* data, std::size_t length);
  // Moves the rows into `out` at the used width; an empty page gives an empty bitmap.
  void finish(PageBitmap& out);

  std::size_t rows() const { return m_rows; }
  std::size_t usedBytes() const { return m_usedBytes; }

private:
  std::size_t m_slotBytes = 216;
  bool m_inverted = false;
  std::size_t m_rows = 0;
  std::size_t m_usedBytes = 1;
  std::vector<uint8_t> m_block;
};

// Stretches src to width x height with a straight pixel copy (nearest source
// pixel), except that shrinking keeps black: an output pixel is black when any
// source pixel it covers is. `whiteBit` tells which bit value is white.
void stretchPage(const PageBitmap& src, int width, int height, bool whiteBit, PageBitmap& out);

} // namespace faximage
