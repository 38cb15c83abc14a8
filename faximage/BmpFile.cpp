#include "faximage/BmpFile.h"

#include "faximage/Dither.h"
#include "faximage/FxFile.h"

#include <bit>
#include <cstring>

namespace faximage {

namespace {

uint16_t le16(const uint8_t* p) {
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
  return uint32_t(le16(p)) | (uint32_t(le16(p + 2)) << 16);
}
void put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

// The red, green and blue bits of a 16- or 32-bit pixel. Without bit-field
// compression they are fixed: 5-5-5 in 16 bits, 8-8-8 in 32.
struct BmpMasks {
  uint32_t red = 0, green = 0, blue = 0;
};

BmpMasks bmpMasks(const std::vector<uint8_t>& file, const BmpInfo& info) {
  // Bit fields follow a 40-byte info header; longer headers hold them at
  // the same file offset.
  if (info.compression == 3 && file.size() >= 66)
    return {le32(file.data() + 54), le32(file.data() + 58), le32(file.data() + 62)};
  if (info.bitsPerPixel == 16)
    return {0x7C00, 0x03E0, 0x001F};
  return {0xFF0000, 0x00FF00, 0x0000FF};
}

// One channel of a pixel scaled to 0..255.
int channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0)
    return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  return int(uint64_t((pixel & mask) >> shift) * 255 / max);
}

// Intensity (r + g + b) div 3 of pixel x in a stored row.
int intensity(const uint8_t* row, int x, const BmpInfo& info, const BmpPalette& pal,
              const BmpMasks& masks) {
  auto fromRgb = [](uint32_t rgb) {
    return int(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF)) / 3;
  };
  auto fromIndex = [&](unsigned index) {
    return index < pal.rgb.size() ? fromRgb(pal.rgb[index]) : 0;
  };
  auto fromMasks = [&](uint32_t v) {
    return (channel(v, masks.red) + channel(v, masks.green) + channel(v, masks.blue)) / 3;
  };
  switch (info.bitsPerPixel) {
  case 1:
    return fromIndex((row[x / 8] >> (7 - x % 8)) & 1);
  case 4:
    return fromIndex((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
  case 8:
    return fromIndex(row[x]);
  case 16:
    return fromMasks(le16(row + 2 * x));
  case 24:
    return (row[3 * x] + row[3 * x + 1] + row[3 * x + 2]) / 3;
  default: // 32
    return fromMasks(le32(row + 4 * x));
  }
}

} // namespace

bool parseBmpHeaders(const uint8_t* b, std::size_t size, BmpInfo& info) {
  if (size < 54 || b[0] != 'B' || b[1] != 'M')
    return false;
  info.dataOffset = le32(b + 10);
  info.headerSize = le32(b + 14);
  if (info.headerSize < 40)
    return false;
  info.width = int32_t(le32(b + 18));
  info.height = int32_t(le32(b + 22));
  info.bitsPerPixel = le16(b + 28);
  info.compression = le32(b + 30);
  info.colorsUsed = le32(b + 46);
  return info.height != INT32_MIN;
}

bool readBmpPalette(const uint8_t* file, std::size_t size, const BmpInfo& info, BmpPalette& pal) {
  pal.rgb.clear();
  if (info.bitsPerPixel > 8)
    return true;
  const uint32_t full = 1u << info.bitsPerPixel;
  const uint32_t count = info.colorsUsed && info.colorsUsed < full ? info.colorsUsed : full;
  const uint64_t start = 14 + uint64_t(info.headerSize);
  if (start + 4ull * count > size)
    return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = file + start + 4 * i;
    pal.rgb.push_back((uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0]);
  }
  return true;
}

bool ditherBmp(const std::vector<uint8_t>& file, PageBitmap& out) {
  BmpInfo info;
  if (!parseBmpHeaders(file.data(), file.size(), info))
    return false;
  const uint16_t bpp = info.bitsPerPixel;
  // Uncompressed, or 16/32-bit pixels with bit-field masks (RGB565, RGB555).
  if (info.compression != 0 && !(info.compression == 3 && (bpp == 16 || bpp == 32)))
    return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return false;
  // The result must fit a fax row anyway; refuse sizes that cannot.
  if (info.width <= 0 || info.width > 4096)
    return false;
  const uint64_t need = uint64_t(info.rows()) * info.storedRowBytes();
  if (info.dataOffset > file.size() || need > file.size() - info.dataOffset)
    return false;
  BmpPalette pal;
  if (!readBmpPalette(file.data(), file.size(), info, pal))
    return false;
  const BmpMasks masks = bmpMasks(file, info);
  out = PageBitmap(info.width, info.rows());
  for (int y = 0; y < info.rows(); ++y) {
    const uint8_t* row = file.data() + info.rowOffset(y);
    for (int x = 0; x < info.width; ++x)
      if (ditherIsBlack(intensity(row, x, info, pal, masks), x, y))
        out.setPixel(x, y, true);
  }
  return true;
}

int writeMonochromeBmp(const std::string& path, const PageBitmap& bitmap, int dpi) {
  BmpInfo info;
  info.width = bitmap.width();
  info.height = bitmap.height();
  info.bitsPerPixel = 1;
  const uint32_t stride = uint32_t(info.storedRowBytes());
  const uint32_t dataOffset = 14 + 40 + 8;
  std::vector<uint8_t> file(dataOffset + std::size_t(stride) * bitmap.height(), 0);
  uint8_t* b = file.data();
  b[0] = 'B';
  b[1] = 'M';
  put32(b + 2, uint32_t(file.size()));
  put32(b + 10, dataOffset);
  put32(b + 14, 40);
  put32(b + 18, uint32_t(bitmap.width()));
  put32(b + 22, uint32_t(bitmap.height()));
  put16(b + 26, 1);
  put16(b + 28, 1);
  put32(b + 34, stride * uint32_t(bitmap.height()));
  const uint32_t ppm = uint32_t(dpi * 10000 / 254);
  put32(b + 38, ppm);
  put32(b + 42, ppm);
  put32(b + 46, 2);
  put32(b + 58, 0x00FFFFFF); // index 1 white; index 0 stays black
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* dst = b + dataOffset + std::size_t(bitmap.height() - 1 - y) * stride;
    const uint8_t* src = bitmap.row(y);
    for (std::size_t i = 0; i < bitmap.stride(); ++i)
      dst[i] = uint8_t(~src[i]);
  }
  FxFile out;
  if (int rc = out.create(path); rc < 0)
    return rc;
  return out.writeAll(file.data(), file.size());
}

} // namespace faximage
