#include "faxview/PageTransforms.h"

#include <algorithm>
#include <cstring>

namespace faxview {

using faximage::PageBitmap;

namespace {

int roundUp8(int n) {
  return (n + 7) & ~7;
}

uint8_t reverseBits(uint8_t b) {
  b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Mask of the used bits in the last byte of a row `width` pixels wide.
uint8_t lastByteMask(int width) {
  const int used = width & 7;
  return used == 0 ? uint8_t(0xFF) : uint8_t(0xFF << (8 - used));
}

// Transposes an 8 x 8 bit block: byte i is row i, its most significant bit
// column 0. Afterwards byte j holds column j of the input.
void transpose8(uint8_t block[8]) {
  uint64_t x = 0;
  for (int i = 0; i < 8; ++i)
    x |= uint64_t(block[i]) << (56 - 8 * i);
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
  x = x ^ t ^ (t << 28);
  for (int i = 0; i < 8; ++i)
    block[i] = uint8_t(x >> (56 - 8 * i));
}

// Pixel (x, y) of src becomes pixel (y, x): roundUp8(h) wide, roundUp8(w) high.
PageBitmap transpose(const PageBitmap& src) {
  const int w = src.width(), h = src.height();
  PageBitmap out(roundUp8(h), roundUp8(w));
  const int stride = int(src.stride());
  const uint8_t lastMask = lastByteMask(w);
  for (int by = 0; by < h; by += 8) {
    for (int bx = 0; bx < stride; ++bx) {
      uint8_t block[8] = {};
      bool any = false;
      for (int i = 0; i < 8 && by + i < h; ++i) {
        block[i] = src.row(by + i)[bx];
        if (bx == stride - 1)
          block[i] &= lastMask;
        any |= block[i] != 0;
      }
      if (!any)
        continue;
      transpose8(block);
      for (int j = 0; j < 8; ++j)
        out.row(bx * 8 + j)[by / 8] = block[j];
    }
  }
  return out;
}

// Shifts a row of `bytes` bytes left by k (0..7) bits.
void shiftLeft(uint8_t* row, std::size_t bytes, int k) {
  if (k == 0)
    return;
  for (std::size_t i = 0; i < bytes; ++i)
    row[i] = uint8_t(row[i] << k | (i + 1 < bytes ? row[i + 1] >> (8 - k) : 0));
}

// Mirrors the first `width` pixels of a row whose buffer has `bytes` bytes
// (bits past the width must be white).
void mirrorRow(uint8_t* row, std::size_t bytes, int width) {
  std::reverse(row, row + bytes);
  for (std::size_t i = 0; i < bytes; ++i)
    row[i] = reverseBits(row[i]);
  shiftLeft(row, bytes, int(bytes * 8) - width);
}

// Copies the first `width` pixels of each row of src (stride >= dst's) into dst.
void cropInto(const PageBitmap& src, PageBitmap& dst, int rows) {
  for (int y = 0; y < rows; ++y) {
    std::memcpy(dst.row(y), src.row(y), dst.stride());
    if (dst.width() & 7)
      dst.row(y)[dst.stride() - 1] &= lastByteMask(dst.width());
  }
}

PageBitmap quarterClockwise(const PageBitmap& src) {
  PageBitmap t = transpose(src);
  const int h = src.height();
  for (int y = 0; y < t.height(); ++y)
    mirrorRow(t.row(y), t.stride(), h);
  PageBitmap out(h, t.height());
  cropInto(t, out, t.height());
  return out;
}

PageBitmap quarterCounterClockwise(const PageBitmap& src) {
  PageBitmap t = transpose(src);
  const int w = src.width();
  PageBitmap out(src.height(), t.height());
  const std::size_t bytes = out.stride();
  for (int y = 0; y < w; ++y)
    std::memcpy(out.row(y), t.row(w - 1 - y), bytes);
  return out;
}

PageBitmap halfTurn(const PageBitmap& src) {
  PageBitmap out(src.width(), src.height());
  const std::size_t bytes = src.stride();
  for (int y = 0; y < src.height(); ++y) {
    uint8_t* row = out.row(src.height() - 1 - y);
    std::memcpy(row, src.row(y), bytes);
    if (bytes > 0)
      row[bytes - 1] &= lastByteMask(src.width());
    mirrorRow(row, bytes, src.width());
  }
  return out;
}

} // namespace

void PadToWidth(PageBitmap& bitmap, int width) {
  if (bitmap.width() >= width)
    return;
  PageBitmap wide(width, bitmap.height());
  for (int y = 0; y < bitmap.height(); ++y)
    std::memcpy(wide.row(y), bitmap.row(y), bitmap.stride());
  bitmap = std::move(wide);
}

PageBitmap RotateQuarterTurns(const PageBitmap& src, int turns) {
  switch (((turns % 4) + 4) % 4) {
  case 1:
    return quarterClockwise(src);
  case 2:
    return halfTurn(src);
  case 3:
    return quarterCounterClockwise(src);
  default:
    return src;
  }
}

namespace {

// Where each source column goes in a row `width` pixels wide, and how many
// source columns each output column gathers. When the row is enlarged, each
// output column takes one source column instead (see sourceOf).
struct ColumnMap {
  std::vector<int> bucket;   // per source column, when shrinking
  std::vector<int> columns;  // per output column: source columns gathered
  std::vector<int> sourceOf; // per output column, when enlarging
  bool shrinking = true;
};

ColumnMap mapColumns(int srcWidth, int width) {
  ColumnMap m;
  m.shrinking = width <= srcWidth;
  m.columns.assign(std::size_t(width), 0);
  if (m.shrinking) {
    m.bucket.resize(std::size_t(srcWidth));
    for (int x = 0; x < srcWidth; ++x) {
      m.bucket[x] = int(int64_t(x) * width / srcWidth);
      ++m.columns[m.bucket[x]];
    }
  } else {
    m.sourceOf.resize(std::size_t(width));
    for (int x = 0; x < width; ++x) {
      m.sourceOf[x] = int(int64_t(x) * srcWidth / width);
      m.columns[x] = 1;
    }
  }
  return m;
}

// Adds each black pixel of a row to the counter of its column (or bucket).
void countRow(const uint8_t* row, std::size_t bytes, int width, const int* bucket,
              uint32_t* counts) {
  for (std::size_t i = 0; i < bytes; ++i) {
    unsigned b = row[i];
    while (b != 0) {
      const int bit = __builtin_clz(b) - 24; // 0 = most significant
      const int x = int(i) * 8 + bit;
      if (x < width)
        ++counts[bucket ? bucket[x] : x];
      b &= ~(0x80u >> bit);
    }
  }
}

} // namespace

namespace {

// Shrinking in both directions with exact area weights: a source pixel
// straddling two screen pixels gives each its share, so that at 75 % every
// stroke keeps its weight instead of some columns counting twice. Units: a
// source column is `width` wide and a screen column `w`; a source row
// `height` high and a screen row `h`; a whole screen pixel weighs w * h.
void areaCoverage(const PageBitmap& src, int width, int height, uint8_t* out, int stride) {
  const int w = src.width(), h = src.height();
  std::vector<int> first(static_cast<std::size_t>(w));
  std::vector<uint32_t> share0(static_cast<std::size_t>(w)), share1(static_cast<std::size_t>(w));
  for (int x = 0; x < w; ++x) {
    const int64_t start = int64_t(x) * width;
    first[x] = int(start / w);
    const int64_t boundary = int64_t(first[x] + 1) * w;
    share0[x] = uint32_t(std::min<int64_t>(width, boundary - start));
    share1[x] = uint32_t(width) - share0[x];
  }
  const uint64_t full = uint64_t(w) * uint64_t(h);
  const uint64_t mul = ((255ull << 32) + full - 1) / full;
  std::vector<uint32_t> row(std::size_t(width) + 1), cur(std::size_t(width) + 1),
      next(std::size_t(width) + 1);
  int curRow = 0;
  bool rowDirty = false;
  auto flush = [&] {
    if (curRow < height) {
      uint8_t* dst = out + std::size_t(curRow) * stride;
      for (int x = 0; x < width; ++x)
        dst[x] = uint8_t(std::min<uint64_t>(255, (uint64_t(cur[x]) * mul) >> 32));
    }
    ++curRow;
    cur.swap(next);
    std::fill(next.begin(), next.end(), 0u);
  };
  for (int y = 0; y < h; ++y) {
    const int64_t start = int64_t(y) * height;
    const int rowOf = int(start / h);
    const uint32_t v0 = uint32_t(std::min<int64_t>(height, int64_t(rowOf + 1) * h - start));
    const uint32_t v1 = uint32_t(height) - v0;
    while (curRow < rowOf)
      flush();
    if (rowDirty)
      std::fill(row.begin(), row.end(), 0u);
    rowDirty = false;
    const uint8_t* bits = src.row(y);
    bool any = false;
    for (std::size_t i = 0; i < src.stride(); ++i) {
      unsigned b = bits[i];
      while (b != 0) {
        const int bit = __builtin_clz(b) - 24;
        const int x = int(i) * 8 + bit;
        b &= ~(0x80u >> bit);
        if (x >= w)
          break;
        row[first[x]] += share0[x];
        row[first[x] + 1] += share1[x];
        any = true;
      }
    }
    if (!any)
      continue;
    rowDirty = true;
    for (int x = 0; x < width; ++x)
      cur[x] += row[x] * v0;
    if (v1 != 0) // the row straddles two screen rows
      for (int x = 0; x < width; ++x)
        next[x] += row[x] * v1;
  }
  while (curRow < height)
    flush();
}

} // namespace

void ScaleToCoverage(const PageBitmap& src, int width, int height, uint8_t* out, int stride) {
  const int w = src.width(), h = src.height();
  if (width <= 0 || height <= 0)
    return;
  if (w == 0 || h == 0) {
    for (int y = 0; y < height; ++y)
      std::memset(out + std::size_t(y) * stride, 0, std::size_t(width));
    return;
  }
  if (width <= w && height <= h) {
    areaCoverage(src, width, height, out, stride);
    return;
  }
  const ColumnMap map = mapColumns(w, width);
  std::vector<uint32_t> counts(std::size_t(map.shrinking ? width : w), 0);
  std::vector<uint32_t> scale(std::size_t(width), 0); // 255 / pixels gathered, in 1/65536
  int scaleRows = 0, lastY0 = -1;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = out + std::size_t(y) * stride;
    const int y0 = int(int64_t(y) * h / height);
    const int y1 = std::max(y0 + 1, int(int64_t(y + 1) * h / height));
    if (y0 == lastY0) { // enlarged: the same source row again
      std::memcpy(dst, dst - stride, std::size_t(width));
      continue;
    }
    lastY0 = y0;
    if (y1 - y0 != scaleRows) {
      scaleRows = y1 - y0;
      for (int x = 0; x < width; ++x) {
        const uint32_t n = uint32_t(map.columns[x] * scaleRows);
        scale[x] = (255u * 65536u + n - 1) / n;
      }
    }
    std::fill(counts.begin(), counts.end(), 0u);
    for (int sy = y0; sy < y1; ++sy)
      countRow(src.row(sy), src.stride(), w, map.shrinking ? map.bucket.data() : nullptr,
               counts.data());
    for (int x = 0; x < width; ++x) {
      const uint32_t c = counts[map.shrinking ? x : map.sourceOf[x]];
      dst[x] = uint8_t(std::min<uint32_t>(255u, (c * scale[x]) >> 16));
    }
  }
}

void ScaleNearestMono(const PageBitmap& src, int width, int height, uint8_t* out, int stride) {
  const int w = src.width(), h = src.height();
  const std::size_t outBytes = (std::size_t(width) + 7) / 8;
  std::vector<int> column(std::size_t(std::max(width, 0)));
  for (int x = 0; x < width; ++x)
    column[x] = w == 0 ? 0 : int(int64_t(x) * w / width);
  int lastSy = -1;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = out + std::size_t(y) * stride;
    const int sy = h == 0 ? -1 : int(int64_t(y) * h / height);
    if (sy == lastSy && y > 0) {
      std::memcpy(dst, dst - stride, outBytes);
      continue;
    }
    lastSy = sy;
    std::memset(dst, 0, outBytes);
    if (sy < 0)
      continue;
    const uint8_t* row = src.row(sy);
    if (std::all_of(row, row + src.stride(), [](uint8_t b) { return b == 0; }))
      continue;
    for (int x = 0; x < width; ++x) {
      const int sx = column[x];
      if (row[sx >> 3] & (0x80 >> (sx & 7)))
        dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
  }
}

PageBitmap CopyBlock(const PageBitmap& src, int x, int y, int w, int h, int outW, int outH) {
  PageBitmap out(outW, outH);
  if (w <= 0 || h <= 0)
    return out;
  auto black = [&](int sx, int sy) {
    return sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height() && src.pixel(sx, sy);
  };
  for (int oy = 0; oy < outH; ++oy) {
    const int y0 = y + int(int64_t(oy) * h / outH);
    const int y1 = std::max(y0 + 1, y + int(int64_t(oy + 1) * h / outH));
    for (int ox = 0; ox < outW; ++ox) {
      const int x0 = x + int(int64_t(ox) * w / outW);
      const int x1 = std::max(x0 + 1, x + int(int64_t(ox + 1) * w / outW));
      bool any = false;
      for (int sy = y0; sy < y1 && !any; ++sy)
        for (int sx = x0; sx < x1 && !any; ++sx)
          any = black(sx, sy);
      if (any)
        out.setPixel(ox, oy, true);
    }
  }
  return out;
}

} // namespace faxview
