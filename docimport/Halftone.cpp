#include "docimport/Halftone.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace docimport {

namespace {

constexpr int kTile = 32;
// A tile is part of a photograph when over a quarter of its pixels are mid
// tones; anti-aliased text edges stay well below that.
constexpr int kMidLow = 40, kMidHigh = 215;
constexpr int kPhotoShareDivisor = 4;
constexpr int kRowStep = 4; // rows counted: 0, 4, 8, ... of each tile
// Photo areas smaller than this many tiles are left to the threshold: a few
// tiles of mid tones are a grey box or a tinted heading, not a photograph.
constexpr int kMinPhotoTiles = 6;

struct TileGrid {
  int cols = 0, rows = 0;
  std::vector<uint8_t> cells;
  uint8_t& at(int c, int r) { return cells[std::size_t(r) * std::size_t(cols) + std::size_t(c)]; }
};

// How many of the n pixels are mid tones: one unsigned compare per pixel
// (p - kMidLow <= kMidHigh - kMidLow), sixteen pixels at a time where the
// processor can.
int midTones(const uint8_t* p, int n) {
  int count = 0, x = 0;
#if defined(__SSE2__)
  // Each match is -1 in its byte and is taken from a byte counter (at most
  // n / 16 per byte, well below 256 for a tile); the counters are summed at
  // the end.
  const __m128i low = _mm_set1_epi8(char(kMidLow));
  const __m128i span = _mm_set1_epi8(char(kMidHigh - kMidLow));
  __m128i counters = _mm_setzero_si128();
  for (; x + 16 <= n; x += 16) {
    const __m128i v = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x)), low);
    counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(_mm_min_epu8(v, span), v));
  }
  const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
  count = _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
#endif
  for (; x < n; ++x)
    count += uint8_t(p[x] - kMidLow) <= uint8_t(kMidHigh - kMidLow);
  return count;
}

TileGrid midToneTiles(const GreyImage& g) {
  TileGrid grid;
  grid.cols = (g.width + kTile - 1) / kTile;
  grid.rows = (g.height + kTile - 1) / kTile;
  std::vector<int> count(std::size_t(grid.cols) * std::size_t(grid.rows), 0);
  // Every fourth row is counted: eight rows of a tile give its share of mid
  // tones as well as all 32 do, at a quarter of the reading.
  for (int y = 0; y < g.height; y += kRowStep) {
    const uint8_t* p = g.row(y);
    int* tileRow = count.data() + std::size_t(y / kTile) * std::size_t(grid.cols);
    for (int c = 0; c < grid.cols; ++c) {
      const int x0 = c * kTile, x1 = std::min(g.width, x0 + kTile);
      tileRow[c] += midTones(p + x0, x1 - x0);
    }
  }
  grid.cells.assign(count.size(), 0);
  for (int r = 0; r < grid.rows; ++r)
    for (int c = 0; c < grid.cols; ++c) {
      const int w = std::min(kTile, g.width - c * kTile);
      const int h = (std::min(kTile, g.height - r * kTile) + kRowStep - 1) / kRowStep; // counted
      grid.at(c, r) =
          count[std::size_t(r) * std::size_t(grid.cols) + std::size_t(c)] * kPhotoShareDivisor >
          w * h;
    }
  return grid;
}

// The bounding box (in tiles) of the 4-connected area holding (c, r); the
// area's cells are cleared as they are visited.
PixelRect takeArea(TileGrid& grid, int c, int r, int& cells) {
  PixelRect box{c, r, c + 1, r + 1};
  std::vector<std::pair<int, int>> stack{{c, r}};
  grid.at(c, r) = 0;
  cells = 0;
  while (!stack.empty()) {
    auto [x, y] = stack.back();
    stack.pop_back();
    ++cells;
    box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1),
           std::max(box.y1, y + 1)};
    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int i = 0; i < 4; ++i)
      if (nx[i] >= 0 && ny[i] >= 0 && nx[i] < grid.cols && ny[i] < grid.rows &&
          grid.at(nx[i], ny[i])) {
        grid.at(nx[i], ny[i]) = 0;
        stack.push_back({nx[i], ny[i]});
      }
  }
  return box;
}

// Each byte with its bits in reverse order.
constexpr std::array<uint8_t, 256> reversedBytes() {
  std::array<uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b)
    for (int k = 0; k < 8; ++k)
      if (b & (1 << k))
        table[std::size_t(b)] |= uint8_t(0x80 >> k);
  return table;
}
[[maybe_unused]] constexpr std::array<uint8_t, 256> kReversed = reversedBytes();

// With the threshold at 128 a pixel is black exactly when its top bit is
// clear. Eight pixels are read as one word: their top bits, moved to the low
// bit of each byte, are gathered into one byte by a multiplication (byte i
// lands on bit 7 - i), and most words are all white and need nothing more.
static_assert(kThreshold == 128);
void thresholdRow(const uint8_t* grey, int width, uint8_t* bits) {
  constexpr uint64_t kTopBits = 0x8080808080808080ull;
  constexpr uint64_t kGather = 0x8040201008040201ull;
  const int whole = width / 8;
  int i = 0;
#if defined(__SSE2__)
  // Sixteen pixels at a time: the processor gathers the top bits itself
  // (pixel i to bit i), which a table puts in fax order (pixel 0 the high bit).
  for (; i + 2 <= whole; i += 2) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + 8 * i));
    const unsigned white = unsigned(_mm_movemask_epi8(v));
    if (white == 0xFFFF) {
      bits[i] = bits[i + 1] = 0;
      continue;
    }
    bits[i] = kReversed[~white & 0xFF];
    bits[i + 1] = kReversed[(~white >> 8) & 0xFF];
  }
#endif
  for (; i < whole; ++i) {
    uint64_t w;
    std::memcpy(&w, grey + 8 * i, 8);
    const uint64_t top = w & kTopBits;
    if (top == kTopBits) {
      bits[i] = 0;
      continue;
    }
    if constexpr (std::endian::native == std::endian::big)
      w = __builtin_bswap64(w);
    const uint64_t white = ((w & kTopBits) >> 7) * kGather >> 56;
    bits[i] = uint8_t(~white);
  }
  for (int x = whole * 8; x < width; ++x)
    if (grey[x] < kThreshold)
      bits[x >> 3] |= uint8_t(0x80 >> (x & 7));
}

// The spans [x0, x1) of row y that lie in a photo area, left to right,
// overlapping areas merged.
std::vector<std::pair<int, int>> spansAt(const std::vector<PixelRect>& areas, int y) {
  std::vector<std::pair<int, int>> spans;
  for (const PixelRect& r : areas)
    if (y >= r.y0 && y < r.y1)
      spans.push_back({r.x0, r.x1});
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<int, int>> merged;
  for (const auto& s : spans)
    if (!merged.empty() && s.first <= merged.back().second)
      merged.back().second = std::max(merged.back().second, s.second);
    else
      merged.push_back(s);
  return merged;
}

// Floyd-Steinberg error diffusion of one span of a row. Rows run left to
// right and right to left in turn, which avoids the diagonal worms of
// one-way scanning; errors stay inside the span.
void diffuseSpan(const uint8_t* p, int x0, int x1, bool leftToRight, std::vector<int>& cur,
                 std::vector<int>& next, uint8_t* bits) {
  const int step = leftToRight ? 1 : -1;
  for (int i = x0; i < x1; ++i) {
    const int x = leftToRight ? i : x0 + x1 - 1 - i;
    const int v = p[x] + cur[std::size_t(x) + 1] / 16;
    const bool black = v < kThreshold;
    const uint8_t mask = uint8_t(0x80 >> (x & 7));
    bits[x >> 3] = black ? uint8_t(bits[x >> 3] | mask) : uint8_t(bits[x >> 3] & ~mask);
    const int err = v - (black ? 0 : 255);
    const int ahead = x + step, behind = x - step;
    if (ahead >= x0 && ahead < x1) {
      cur[std::size_t(ahead) + 1] += err * 7;
      next[std::size_t(ahead) + 1] += err;
    }
    if (behind >= x0 && behind < x1)
      next[std::size_t(behind) + 1] += err * 3;
    next[std::size_t(x) + 1] += err * 5;
  }
}

} // namespace

std::vector<PixelRect> findPhotoAreas(const GreyImage& grey) {
  std::vector<PixelRect> areas;
  if (grey.width <= 0 || grey.height <= 0)
    return areas;
  TileGrid grid = midToneTiles(grey);
  for (int r = 0; r < grid.rows; ++r)
    for (int c = 0; c < grid.cols; ++c) {
      if (!grid.at(c, r))
        continue;
      int cells = 0;
      const PixelRect t = takeArea(grid, c, r, cells);
      if (cells < kMinPhotoTiles)
        continue;
      areas.push_back({t.x0 * kTile, t.y0 * kTile, std::min(grey.width, t.x1 * kTile),
                       std::min(grey.height, t.y1 * kTile)});
    }
  return areas;
}

void halftone(const GreyImage& grey, Halftone mode, faximage::PageBitmap& out) {
  out = faximage::PageBitmap(grey.width, grey.height);
  std::vector<PixelRect> areas;
  if (mode == Halftone::Diffuse)
    areas.push_back({0, 0, grey.width, grey.height});
  else if (mode == Halftone::Auto)
    areas = findPhotoAreas(grey);
  std::vector<int> cur(std::size_t(grey.width) + 2, 0), next(cur.size(), 0);
  std::vector<std::pair<int, int>> spans;
  for (int y = 0; y < grey.height; ++y) {
    thresholdRow(grey.row(y), grey.width, out.row(y));
    if (areas.empty())
      continue;
    // Areas start and end on tile rows (or the page's end): the spans change
    // only there.
    if (y % kTile == 0 || y == 0)
      spans = spansAt(areas, y);
    for (const auto& [x0, x1] : spans)
      diffuseSpan(grey.row(y), x0, x1, (y & 1) == 0, cur, next, out.row(y));
    std::swap(cur, next);
    std::fill(next.begin(), next.end(), 0);
  }
}

} // namespace docimport
