#include "docimport/FaxFit.h"

#include "docimport/Halftone.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace docimport {

FaxGrid gridFor(const ImportOptions& options, bool fine) {
  if (options.grid)
    return *options.grid;
  FaxGrid grid;
  grid.width = options.wide ? 2048 : 1728;
  grid.ydpi = fine ? 196.0 : 98.0;
  grid.maxRows = fine ? 2 * 2339 : 2339;
  return grid;
}

PageSize fitSize(int w, int h, double xdpi, double ydpi, const FaxGrid& grid) {
  if (w <= 0 || h <= 0)
    return {};
  const bool stated = xdpi > 0 && ydpi > 0;
  double width = grid.width;
  if (stated && w / xdpi * grid.xdpi <= grid.width + 0.5)
    width = w / xdpi * grid.xdpi;
  // Source pixel height over width, then fax rows per fax column.
  const double pixelAspect = stated ? xdpi / ydpi : 1.0;
  double height = h * (width / w) * pixelAspect * (grid.ydpi / grid.xdpi);
  if (height > grid.maxRows) {
    width *= grid.maxRows / height;
    height = grid.maxRows;
  }
  return {std::max(1, int(std::lround(width))), std::max(1, int(std::lround(height)))};
}

bool turnsWide(int w, int h, double xdpi, double ydpi, const FaxGrid& grid) {
  if (!grid.turnWide || w <= 0 || h <= 0)
    return false;
  const bool stated = xdpi > 0 && ydpi > 0;
  const double wide = stated ? w / xdpi : w, tall = stated ? h / ydpi : h;
  const double faxColumns = stated ? w / xdpi * grid.xdpi : w;
  return wide > tall && faxColumns > grid.width + 0.5;
}

GreyImage turnQuarter(const GreyImage& src) {
  GreyImage out;
  out.width = src.height;
  out.height = src.width;
  out.xdpi = src.ydpi;
  out.ydpi = src.xdpi;
  out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
  // Source column x becomes row width-1-x, read down the source rows; blocks
  // of rows keep the reads within the cache.
  constexpr int kBlock = 64;
  for (int y0 = 0; y0 < src.height; y0 += kBlock)
    for (int x = 0; x < src.width; ++x) {
      uint8_t* o = out.row(src.width - 1 - x);
      const int y1 = std::min(src.height, y0 + kBlock);
      for (int y = y0; y < y1; ++y)
        o[y] = src.row(y)[x];
    }
  return out;
}

bool hasFaxColumns(int w, double xdpi, const FaxGrid& grid) {
  if (w <= 0 || w > grid.width)
    return false;
  if (xdpi > 0)
    return std::abs(xdpi - grid.xdpi) < grid.xdpi * 0.03;
  return w == 1728 || w == 2048;
}

namespace {

// Source pixels and their weights for each output pixel along one axis.
struct Contributions {
  std::vector<int> first;
  std::vector<int> count;
  std::vector<float> weights; // count[i] weights per output i, in order
  std::vector<std::size_t> offset;
};

Contributions contributions(int in, int out) {
  Contributions c;
  c.first.resize(std::size_t(out));
  c.count.resize(std::size_t(out));
  c.offset.resize(std::size_t(out));
  const double scale = double(in) / out;
  for (int i = 0; i < out; ++i) {
    c.offset[std::size_t(i)] = c.weights.size();
    if (scale >= 1.0) { // box: the overlap of [i, i+1) * scale with each source pixel
      const double a = i * scale, b = std::min(double(in), (i + 1) * scale);
      const int j0 = int(a), j1 = std::min(in, int(std::ceil(b)));
      c.first[std::size_t(i)] = j0;
      for (int j = j0; j < j1; ++j)
        c.weights.push_back(float((std::min(b, j + 1.0) - std::max(a, double(j))) / scale));
    } else { // linear between the two nearest source centres
      const double s = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(in - 1));
      const int j0 = int(s);
      const float f = float(s - j0);
      c.first[std::size_t(i)] = j0;
      c.weights.push_back(1.0f - f);
      if (j0 + 1 < in)
        c.weights.push_back(f);
    }
    c.count[std::size_t(i)] = int(c.weights.size() - c.offset[std::size_t(i)]);
  }
  return c;
}

} // namespace

GreyImage scaleGrey(const GreyImage& src, int width, int height) {
  GreyImage out;
  out.width = width;
  out.height = height;
  out.pixels.assign(std::size_t(width) * std::size_t(height), 255);
  if (src.width <= 0 || src.height <= 0 || width <= 0 || height <= 0)
    return out;
  const Contributions cx = contributions(src.width, width);
  const Contributions cy = contributions(src.height, height);
  // Rows scaled across, kept while the next output rows still use them.
  std::vector<std::vector<float>> across;
  int acrossFirst = 0;
  std::vector<float> sum(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    const int first = cy.first[std::size_t(y)], n = cy.count[std::size_t(y)];
    while (acrossFirst < first && !across.empty()) {
      across.erase(across.begin());
      ++acrossFirst;
    }
    if (across.empty())
      acrossFirst = first;
    while (acrossFirst + int(across.size()) < first + n) {
      const uint8_t* p = src.row(acrossFirst + int(across.size()));
      std::vector<float> row(static_cast<std::size_t>(width));
      for (int x = 0; x < width; ++x) {
        const float* wt = cx.weights.data() + cx.offset[std::size_t(x)];
        const uint8_t* s = p + cx.first[std::size_t(x)];
        float v = 0;
        for (int k = 0; k < cx.count[std::size_t(x)]; ++k)
          v += wt[k] * s[k];
        row[std::size_t(x)] = v;
      }
      across.push_back(std::move(row));
    }
    std::fill(sum.begin(), sum.end(), 0.0f);
    const float* wt = cy.weights.data() + cy.offset[std::size_t(y)];
    for (int k = 0; k < n; ++k) {
      const std::vector<float>& r = across[std::size_t(first - acrossFirst + k)];
      for (int x = 0; x < width; ++x)
        sum[std::size_t(x)] += wt[k] * r[std::size_t(x)];
    }
    uint8_t* o = out.row(y);
    for (int x = 0; x < width; ++x)
      o[x] = uint8_t(std::clamp(int(std::lround(sum[std::size_t(x)])), 0, 255));
  }
  return out;
}

FaxPage centreOnPage(const faximage::PageBitmap& image, const FaxGrid& grid) {
  FaxPage page;
  page.fine = grid.fine();
  page.bitmap = faximage::PageBitmap(grid.width, image.height());
  const int w = std::min(image.width(), grid.width);
  const int offset = (grid.width - w) / 2;
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* s = image.row(y);
    uint8_t* d = page.bitmap.row(y);
    if (offset % 8 == 0) {
      std::memcpy(d + offset / 8, s, std::size_t(w + 7) / 8);
      if (w % 8) // bits past the image width are not the image's
        d[(offset + w - 1) / 8] &= uint8_t(0xFF << (8 - w % 8));
      continue;
    }
    for (int x = 0; x < w; ++x)
      if (s[x >> 3] & (0x80 >> (x & 7)))
        page.bitmap.setPixel(offset + x, y, true);
  }
  return page;
}

FaxPage fitGreyPage(const GreyImage& grey, const FaxGrid& grid, Halftone mode) {
  const PageSize size = fitSize(grey.width, grey.height, grey.xdpi, grey.ydpi, grid);
  faximage::PageBitmap bits;
  if (size.width == grey.width && size.height == grey.height)
    halftone(grey, mode, bits);
  else
    halftone(scaleGrey(grey, size.width, size.height), mode, bits);
  return centreOnPage(bits, grid);
}

FaxPage fitFaxColumns(const faximage::PageBitmap& src, double ydpi, const FaxGrid& grid) {
  int rows = src.height();
  if (ydpi > 0 && std::abs(ydpi - grid.ydpi) > grid.ydpi * 0.05)
    rows = std::max(1, int(std::lround(src.height() * grid.ydpi / ydpi)));
  rows = std::min(rows, grid.maxRows);
  if (rows == src.height())
    return centreOnPage(src, grid);
  faximage::PageBitmap scaled(src.width(), rows);
  for (int y = 0; y < rows; ++y) {
    const int y0 = int(int64_t(y) * src.height() / rows);
    const int y1 = std::max(y0 + 1, int(int64_t(y + 1) * src.height() / rows));
    uint8_t* d = scaled.row(y);
    for (int sy = y0; sy < y1 && sy < src.height(); ++sy) // black wins
      for (std::size_t i = 0; i < src.stride(); ++i)
        d[i] |= src.row(sy)[i];
  }
  return centreOnPage(scaled, grid);
}

GreyImage greyFromBits(const faximage::PageBitmap& bits, double xdpi, double ydpi) {
  GreyImage g;
  g.width = bits.width();
  g.height = bits.height();
  g.xdpi = xdpi;
  g.ydpi = ydpi;
  g.pixels.resize(std::size_t(g.width) * std::size_t(g.height));
  for (int y = 0; y < g.height; ++y) {
    uint8_t* o = g.row(y);
    for (int x = 0; x < g.width; ++x)
      o[x] = bits.pixel(x, y) ? 0 : 255;
  }
  return g;
}

} // namespace docimport
