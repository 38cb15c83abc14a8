#pragma once
// Windows BMP files: header parsing, colour pixel access for dithering, and a
// writer for monochrome page bitmaps.

#include "faximage/PageBitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace faximage {

struct BmpInfo {
  uint32_t dataOffset = 0;
  int32_t width = 0;
  int32_t height = 0; // as stored: negative for top-down files
  uint16_t bitsPerPixel = 0;
  uint32_t compression = 0;
  uint32_t headerSize = 0;
  uint32_t colorsUsed = 0;

  int rows() const { return height < 0 ? -height : height; }
  bool topDown() const { return height < 0; }
  // Bytes of one stored row: ceil(width * bits / 8) raised to a multiple of 4.
  uint64_t storedRowBytes() const { return (uint64_t(width) * bitsPerPixel + 31) / 32 * 4; }
  // File offset of image row y (0 = top).
  uint64_t rowOffset(int y) const {
    const int stored = topDown() ? y : rows() - 1 - y;
    return dataOffset + uint64_t(stored) * storedRowBytes();
  }
};

// Parses the 14-byte file header and the information header that follows
// (54 bytes needed); false when the type is not "BM" or the info header is
// shorter than 40 bytes.
bool parseBmpHeaders(const uint8_t* bytes, std::size_t size, BmpInfo& info);

// The palette entries (blue, green, red, reserved) that follow the info header.
struct BmpPalette {
  std::vector<uint32_t> rgb; // 0x00RRGGBB
};
bool readBmpPalette(const uint8_t* file, std::size_t size, const BmpInfo& info, BmpPalette& pal);

// Dithers an uncompressed colour BMP held in memory to a monochrome page
// bitmap. False when the file is not one it can read (then the caller handles
// the file as it is).
bool ditherBmp(const std::vector<uint8_t>& file, PageBitmap& out);

// Writes a bitmap as a 1-bit BMP with palette index 0 black, 1 white (so the
// stored bits are the inverse of the page bits). 0 or a negative I/O code.
int writeMonochromeBmp(const std::string& path, const PageBitmap& bitmap, int dpi = 200);

} // namespace faximage
