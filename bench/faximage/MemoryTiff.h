#pragma once
// libtiff on a byte buffer instead of a file, so that the peer codec is
// measured without disk I/O, like ours on a cached file.

#include <tiffio.h>

#include <cstdint>
#include <vector>

namespace bench {

struct MemoryTiff {
  std::vector<uint8_t> bytes;
  toff_t position = 0;
};

// Opens a TIFF over `m` ("r" or "w"); the caller closes it with TIFFClose.
TIFF* openMemoryTiff(MemoryTiff& m, const char* mode);

// Sets the fields of a one-strip, one-dimensional G3 fax page (LSB-first fill order).
void setG3Fields(TIFF* t, int width, int height);

} // namespace bench
