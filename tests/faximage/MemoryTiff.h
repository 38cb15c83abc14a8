#pragma once
// libtiff on a byte buffer instead of a file: the peer codec of the codec
// tests, and measured without disk I/O in the benchmarks.

#include <tiffio.h>

#include <cstdint>
#include <vector>

namespace memtiff {

struct MemoryTiff {
  std::vector<uint8_t> bytes;
  toff_t position = 0;
};

// Opens a TIFF over `m` ("r" or "w"); the caller closes it with TIFFClose.
TIFF* openMemoryTiff(MemoryTiff& m, const char* mode);

// Sets the fields of a one-strip fax page, LSB-first fill order: compression
// CCITTFAX3 or CCITTFAX4, the G3 options (GROUP3OPT_2DENCODING for MR) and the
// vertical resolution that picks libtiff's MR parameter k (4 fine, 2 standard).
void setFaxFields(TIFF* t, int width, int height, int compression = COMPRESSION_CCITTFAX3,
                  uint32_t g3Options = 0, bool fine = true);

} // namespace memtiff
