#include "docimport/Halftone.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace docimport {

namespace {

constexpr int kTile = 32;
// A tile is part of a photograph when over a quarter of its pixels are mid
// tones; anti-aliased text edges stay well below that.
constexpr int kMidLow = 40, kMidHigh = 215;
constexpr int kPhotoShareDivisor = 4;
// Photo areas smaller than this many tiles are left to the threshold: a few
// tiles of mid tones are a grey box or a tinted heading, not a photograph.
constexpr int kMinPhotoTiles = 6;

struct TileGrid {
  int cols = 0, rows = 0;
  std::vector<uint8_t> cells;
  uint8_t& at(int c, int r) { return cells[std::size_t(r) * std::size_t(cols) + std::size_t(c)]; }
};

TileGrid midToneTiles(const GreyImage& g) {
  TileGrid grid;
  grid.cols = (g.width + kTile - 1) / kTile;
  grid.rows = (g.height + kTile - 1) / kTile;
  std::vector<int> count(std::size_t(grid.cols) * std::size_t(grid.rows), 0);
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* p = g.row(y);
    int* tileRow = count.data() + std::size_t(y / kTile) * std::size_t(grid.cols);
    for (int x = 0; x < g.width; ++x)
      tileRow[x / kTile] += p[x] >= kMidLow && p[x] <= kMidHigh;
  }
  grid.cells.assign(count.size(), 0);
  for (int r = 0; r < grid.rows; ++r)
    for (int c = 0; c < grid.cols; ++c) {
      const int w = std::min(kTile, g.width - c * kTile), h = std::min(kTile, g.height - r * kTile);
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

void thresholdRow(const uint8_t* grey, int width, uint8_t* bits) {
  for (int x = 0; x < width; ++x)
    if (grey[x] < kThreshold)
      bits[x >> 3] |= uint8_t(0x80 >> (x & 7));
}

// Which pixels of each row error diffusion handles: one flag per pixel.
std::vector<uint8_t> diffusionMask(const GreyImage& g, Halftone mode) {
  std::vector<uint8_t> mask;
  if (mode == Halftone::Threshold)
    return mask;
  mask.assign(std::size_t(g.width) * std::size_t(g.height), mode == Halftone::Diffuse);
  if (mode == Halftone::Auto)
    for (const PixelRect& r : findPhotoAreas(g))
      for (int y = r.y0; y < r.y1; ++y)
        std::memset(mask.data() + std::size_t(y) * std::size_t(g.width) + std::size_t(r.x0), 1,
                    std::size_t(r.x1 - r.x0));
  return mask;
}

// Floyd-Steinberg error diffusion inside the mask, the threshold outside it.
// Rows run left to right and right to left in turn, which avoids the
// diagonal worms of one-way scanning.
void diffuse(const GreyImage& g, const std::vector<uint8_t>& mask, faximage::PageBitmap& out) {
  const int w = g.width;
  std::vector<int> cur(std::size_t(w) + 2, 0), next(std::size_t(w) + 2, 0);
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* p = g.row(y);
    const uint8_t* m = mask.data() + std::size_t(y) * std::size_t(w);
    uint8_t* bits = out.row(y);
    const bool ltr = (y & 1) == 0;
    const int step = ltr ? 1 : -1;
    for (int i = 0; i < w; ++i) {
      const int x = ltr ? i : w - 1 - i;
      if (!m[x]) {
        if (p[x] < kThreshold)
          bits[x >> 3] |= uint8_t(0x80 >> (x & 7));
        continue;
      }
      const int v = p[x] + cur[std::size_t(x) + 1] / 16;
      const bool black = v < kThreshold;
      if (black)
        bits[x >> 3] |= uint8_t(0x80 >> (x & 7));
      const int err = v - (black ? 0 : 255);
      const std::size_t ahead = std::size_t(x + step + 1), behind = std::size_t(x - step + 1);
      cur[ahead] += err * 7;
      next[behind] += err * 3;
      next[std::size_t(x) + 1] += err * 5;
      next[ahead] += err;
    }
    std::swap(cur, next);
    std::fill(next.begin(), next.end(), 0);
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
  const std::vector<uint8_t> mask = diffusionMask(grey, mode);
  if (mask.empty() || std::find(mask.begin(), mask.end(), 1) == mask.end()) {
    for (int y = 0; y < grey.height; ++y)
      thresholdRow(grey.row(y), grey.width, out.row(y));
    return;
  }
  diffuse(grey, mask, out);
}

} // namespace docimport
