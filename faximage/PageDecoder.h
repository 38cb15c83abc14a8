#pragma once
// Decodes a coded page (MH, MR or MMR) into a bitmap, on any input without
// reading outside it.
//
// Damage is handled as T.4 says: in MH and MR every row starts with an EOL,
// so a row that does not decode (or leaves bits over before the next EOL) is
// given up at that EOL. In MR the two-dimensional rows after it refer to it
// and are lost too, until the next one-dimensional row. Each lost row is
// counted and takes a copy of the row above it, so the page keeps its length.
// MMR has no EOLs to find the next row by: decoding stops at the damage.

#include "faximage/FaxCoding.h"
#include "faximage/PageBitmap.h"

#include <cstddef>
#include <cstdint>

namespace faximage {

struct DecodedPage {
  PageBitmap page;
  int badRows = 0;    // rows that could not be decoded
  bool ended = false; // the page ended with RTC or EOFB, not with the data or at damage
};

// Rows beyond `maxRows` are not decoded (a page at 15.4 lines/mm and 1 m long
// has fewer), so that no input can make the page grow without bound.
DecodedPage decodePage(const uint8_t* data, std::size_t size, FaxCoding coding, int width,
                       int maxRows = 16384);

} // namespace faximage
