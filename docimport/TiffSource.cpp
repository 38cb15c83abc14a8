// TIFF pages through libtiff, in every compression it decodes (fax G3 1-D
// and 2-D, G4, LZW, Deflate, JPEG, PackBits), every page of the file.
// Black-and-white pages are kept as bits; everything else becomes grey.

#include "docimport/PageSource.h"
#include "platform/FxErrors.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace docimport {

namespace {

// libtiff's complaints about the file, kept for the error text.
int collectError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* text = static_cast<std::string*>(user);
  char line[300];
  std::vsnprintf(line, sizeof line, fmt, ap);
  if (text->empty())
    *text = line;
  return 1;
}
int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

constexpr tmsize_t kMaxLibtiffAlloc = 256 << 20;

class TiffSource final : public PageSource {
public:
  TiffSource(const std::string& path, const SourceLimits& limits)
      : m_path(path), m_maxPixels(limits.maxPixels) {
    const int maxPages = limits.maxPages;
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kMaxLibtiffAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(opts, collectError, &m_complaint);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, ignoreWarning, nullptr);
    m_tif.reset(TIFFOpenExt(path.c_str(), "r", opts));
    TIFFOpenOptionsFree(opts);
    if (!m_tif)
      fail("The TIFF file cannot be read");
    // Counting walks the page list, which libtiff guards against loops.
    m_pages = int(std::min<tdir_t>(TIFFNumberOfDirectories(m_tif.get()), 65535));
    if (m_pages <= 0)
      fail("The TIFF file has no pages");
    if (m_pages > maxPages)
      throw ImportError(ecBadGraphicsFormat, "The TIFF file has " + std::to_string(m_pages) +
                                                 " pages; at most " + std::to_string(maxPages) +
                                                 " pages can be faxed at once.");
  }

  int pageCount() const override { return m_pages; }

  SourcePage readPage(int index, const FaxGrid&) override {
    m_complaint.clear();
    if (!TIFFSetDirectory(m_tif.get(), tdir_t(index)))
      fail(pageText(index) + " of the TIFF file is damaged");
    uint32_t w = 0, h = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(m_tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(m_tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(m_tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(m_tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    if (!TIFFGetField(m_tif.get(), TIFFTAG_PHOTOMETRIC, &photometric))
      photometric = PHOTOMETRIC_MINISWHITE;
    checkSourceSize(w, h, pageText(index) + " of the TIFF file", m_maxPixels);
    SourcePage page;
    resolution(page.xdpi, page.ydpi);
    const bool bilevel =
        bps == 1 && spp == 1 &&
        (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) &&
        !TIFFIsTiled(m_tif.get());
    if (bilevel) {
      page.bilevel = true;
      readBits(index, w, h, photometric == PHOTOMETRIC_MINISBLACK, page.bits);
    } else {
      readGrey(index, w, h, page.grey);
      page.grey.xdpi = page.xdpi;
      page.grey.ydpi = page.ydpi;
    }
    return page;
  }

private:
  [[noreturn]] void fail(const std::string& what) {
    throw ImportError(ecBadGraphicsFormat,
                      what + (m_complaint.empty() ? "" : " (" + m_complaint + ")") + ": " + m_path);
  }
  static std::string pageText(int index) { return "Page " + std::to_string(index + 1); }

  // Dots per inch, 0 when the file states none (or only an aspect ratio).
  void resolution(double& xdpi, double& ydpi) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(m_tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(m_tif.get(), TIFFTAG_XRESOLUTION, &x) ||
        !TIFFGetField(m_tif.get(), TIFFTAG_YRESOLUTION, &y) || !(x > 0 && y > 0) ||
        unit == RESUNIT_NONE)
      return;
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    xdpi = x * perInch;
    ydpi = y * perInch;
  }

  void readBits(int index, uint32_t w, uint32_t h, bool minIsBlack, faximage::PageBitmap& out) {
    const tmsize_t lineSize = TIFFScanlineSize(m_tif.get());
    if (lineSize < tmsize_t((w + 7) / 8))
      fail(pageText(index) + " of the TIFF file has a bad layout");
    out = faximage::PageBitmap(int(w), int(h));
    std::vector<uint8_t> line(static_cast<std::size_t>(lineSize));
    for (uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(m_tif.get(), line.data(), y, 0) < 0)
        fail(pageText(index) + " of the TIFF file is damaged");
      uint8_t* row = out.row(int(y));
      std::memcpy(row, line.data(), out.stride());
      if (minIsBlack)
        for (std::size_t i = 0; i < out.stride(); ++i)
          row[i] = uint8_t(~row[i]);
      if (w % 8) // bits past the width are not the image's
        row[out.stride() - 1] &= uint8_t(0xFF << (8 - w % 8));
    }
  }

  // Any other layout through libtiff's RGBA reader, a band of rows at a time.
  void readGrey(int index, uint32_t w, uint32_t h, GreyImage& g) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(m_tif.get(), message))
      throw ImportError(ecBadGraphicsFormat, pageText(index) +
                                                 " of the TIFF file cannot be read (" + message +
                                                 "): " + m_path);
    TIFFRGBAImage img{};
    if (!TIFFRGBAImageBegin(&img, m_tif.get(), 0, message))
      throw ImportError(ecBadGraphicsFormat, pageText(index) +
                                                 " of the TIFF file cannot be read (" + message +
                                                 "): " + m_path);
    img.req_orientation = ORIENTATION_TOPLEFT;
    g.width = int(w);
    g.height = int(h);
    g.pixels.assign(std::size_t(w) * h, 255);
    constexpr uint32_t kBand = 64;
    std::vector<uint32_t> band(std::size_t(w) * kBand);
    bool ok = true;
    for (uint32_t y = 0; y < h && ok; y += kBand) {
      const uint32_t rows = std::min(kBand, h - y);
      img.row_offset = int(y);
      img.col_offset = 0;
      ok = TIFFRGBAImageGet(&img, band.data(), w, rows) != 0;
      for (uint32_t r = 0; r < rows; ++r)
        greyRow(band.data() + std::size_t(r) * w, w, g.row(int(y + r)));
    }
    TIFFRGBAImageEnd(&img);
    if (!ok)
      fail(pageText(index) + " of the TIFF file is damaged");
  }

  // Luma of each pixel, laid on white paper by its alpha.
  static void greyRow(const uint32_t* p, uint32_t w, uint8_t* out) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t v = p[x];
      const int luma = int(TIFFGetR(v) * 299 + TIFFGetG(v) * 587 + TIFFGetB(v) * 114) / 1000;
      const int a = int(TIFFGetA(v));
      out[x] = uint8_t((luma * a + 255 * (255 - a)) / 255);
    }
  }

  std::string m_path;
  std::string m_complaint;
  // Owned so that a refusal in the constructor closes the file too.
  std::unique_ptr<TIFF, decltype(&TIFFClose)> m_tif{nullptr, &TIFFClose};
  int m_pages = 0;
  uint64_t m_maxPixels;
};

} // namespace

std::unique_ptr<PageSource> openTiffSource(const std::string& path, const SourceLimits& limits) {
  return std::make_unique<TiffSource>(path, limits);
}

} // namespace docimport
