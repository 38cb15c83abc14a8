#pragma once
// A row as the positions of its changing elements (T.4 4.2.1.3.1): the pixels
// whose colour differs from the pixel before them, the row starting after an
// imaginary white pixel. The two-dimensional codes are made from these lists
// and decoded into them; element 0, 2, 4... starts black, 1, 3, 5... white.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace faximage {

// Entries a change list of a `width`-pixel row needs: one per pixel at most,
// plus the end marks (copies of the width) the coders put after the last.
inline std::size_t changeListCapacity(int width) {
  return std::size_t(width) + 4;
}

// The changing elements of a packed row (MSB first, 1 = black) in `out`, left
// to right; returns their count. Bits after `width` in the last byte are ignored.
int findChanges(const uint8_t* row, int width, int* out);

// Sets pixels [from, to) of a packed row black.
inline void fillBlack(uint8_t* row, unsigned from, unsigned to) {
  if (from >= to)
    return;
  const unsigned firstByte = from / 8, lastByte = (to - 1) / 8;
  const uint8_t headMask = uint8_t(0xFF >> (from % 8));
  const uint8_t tailMask = uint8_t(0xFF << (7 - (to - 1) % 8));
  if (firstByte == lastByte) {
    row[firstByte] |= headMask & tailMask;
    return;
  }
  row[firstByte] |= headMask;
  if (lastByte > firstByte + 1)
    std::memset(row + firstByte + 1, 0xFF, lastByte - firstByte - 1);
  row[lastByte] |= tailMask;
}

// Writes a whole packed row of `width` pixels from `count` changing elements
// (strictly increasing, all below width): black from each even-numbered
// element to the next one, or to the end of the row. Each byte is written
// once, 64 pixels at a time.
void fillRow(const int* changes, int count, int width, uint8_t* row);

} // namespace faximage
