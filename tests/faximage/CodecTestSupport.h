#pragma once
// libtiff as the peer of our page coders: its MH, MR (G3 2-D) and MMR (G4)
// coding of a page, and its decoding of coded data, all in memory.

#include "faximage/FaxCoding.h"
#include "faximage/PageBitmap.h"

#include <cstdint>
#include <vector>

namespace codectest {

// ITU chart n (1-8), 1728 x 2376.
faximage::PageBitmap chart(int n);

// libtiff's coding of the page as the raw bytes of its one strip; `fine`
// picks its MR parameter k (4, else 2).
std::vector<uint8_t> libtiffEncode(const faximage::PageBitmap& page, faximage::FaxCoding coding,
                                   bool fine = true);

// libtiff reading `height` rows of `coded` as the strip of a fax TIFF.
// Rows it cannot decode come back as they are left by libtiff.
faximage::PageBitmap libtiffDecode(const std::vector<uint8_t>& coded, faximage::FaxCoding coding,
                                   int width, int height);

} // namespace codectest
