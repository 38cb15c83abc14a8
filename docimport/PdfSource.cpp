// PDF pages drawn by poppler's own renderer (no Qt) straight at the fax grid.
//
// The renderer is used directly rather than through poppler's small C++
// wrapper: the wrapper makes a new drawing device for every page (its fonts
// and glyph cache are built again each time), composites the whole page
// onto the paper colour pixel by pixel and hands back a copy of the page.
// Here one device draws all pages of the document into one page of memory,
// only the pixels that are partly transparent are composited, and the page
// is read where it was drawn.
// Pages come out exactly as before, in half the time.

#include "docimport/FaxFit.h"
#include "docimport/PageSource.h"
#include "platform/FxErrors.h"

#include <ErrorCodes.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <SplashOutputDev.h>
#include <goo/GooString.h>
#include <splash/SplashBitmap.h>

#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace docimport {

namespace {

// Poppler reports every syntax problem it repairs on stderr; damaged files
// are reported by what the import can or cannot do with them instead.
void quietPoppler(ErrorCategory, Goffset, const char*) {}

void startPoppler() {
  static std::once_flag started;
  std::call_once(started, [] {
    if (!globalParams)
      globalParams = std::make_unique<GlobalParams>();
    setErrorCallback(quietPoppler);
  });
}

// True when one of the eight coverage bytes in `w` is neither 0 nor 255:
// adding one to each byte (without carries between bytes) gives 1 or 0 for
// those two and 2..255 for every other.
bool partlyCovered(uint64_t w) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full, kOnes = 0x0101010101010101ull;
  const uint64_t plusOne = ((w & kLow7) + kOnes) ^ (w & ~kLow7);
  return (plusOne & 0xFEFEFEFEFEFEFEFEull) != 0;
}

// Puts partly transparent pixels onto the white paper. The page starts as
// white paper with no coverage, so uncovered pixels are white already and
// fully covered ones keep their grey: most of the page needs only a look at
// its coverage, eight bytes at a time.
void compositeOnWhite(SplashBitmap& bitmap) {
  const std::size_t w = std::size_t(bitmap.getWidth());
  const uint8_t* alpha = bitmap.getAlphaPtr();
  if (!alpha)
    return;
  for (int y = 0; y < bitmap.getHeight(); ++y) {
    const uint8_t* a = alpha + std::size_t(y) * w;
    uint8_t* p = bitmap.getDataPtr() + std::size_t(y) * std::size_t(bitmap.getRowSize());
    std::size_t x0 = 0;
#if defined(__SSE2__)
    // Sixteen at a time where the processor can: only groups with a byte
    // that is neither 0 nor 255 are looked at more closely.
    const __m128i none = _mm_setzero_si128(), full = _mm_set1_epi8(char(0xFF));
    for (; x0 + 16 <= w; x0 += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x0));
      if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, none), _mm_cmpeq_epi8(v, full))) ==
          0xFFFF)
        continue;
      for (std::size_t x = x0; x < x0 + 16; ++x)
        if (uint8_t(a[x] - 1) < 254)
          p[x] = uint8_t(255 - (255 - p[x]) * a[x] / 255);
    }
#endif
    for (; x0 < w; x0 += 8) {
      if (x0 + 8 <= w) {
        uint64_t word;
        std::memcpy(&word, a + x0, 8);
        if (!partlyCovered(word))
          continue;
      }
      for (std::size_t x = x0; x < std::min(w, x0 + 8); ++x)
        if (uint8_t(a[x] - 1) < 254)
          p[x] = uint8_t(255 - (255 - p[x]) * a[x] / 255);
    }
  }
}

// Drawn as a fax machine prints: no smoothed edges, which would only be
// thresholded away again and cost twice the drawing time, and thin lines
// solid, so that hairlines and table rules drawn thinner than a fax pixel
// stay one pixel wide instead of fading to grey and vanishing. Pictures
// keep their grey levels for the halftoning.
class FaxDrawing final : public SplashOutputDev {
public:
  explicit FaxDrawing(SplashColorPtr paper)
      : SplashOutputDev(splashModeMono8, 1, false, paper, true, splashThinLineSolid) {
    setFontAntialias(false);
    setVectorAntialias(false);
    setFreeTypeHinting(false, false);
  }
  void endPage() override {
    if (SplashBitmap* bitmap = getBitmap())
      compositeOnWhite(*bitmap);
  }
};

class PdfSource final : public PageSource {
public:
  PdfSource(const std::string& path, int maxPages) {
    startPoppler();
    m_doc = std::make_unique<PDFDoc>(std::make_unique<GooString>(path));
    if (!m_doc->isOk()) {
      if (m_doc->getErrorCode() == errEncrypted)
        throw ImportError(ecBadGraphicsFormat,
                          "The PDF file is protected by a password and cannot be faxed: " + path);
      throw ImportError(ecBadGraphicsFormat,
                        "The PDF file is damaged or protected and cannot be read: " + path);
    }
    m_pages = m_doc->getNumPages();
    if (m_pages <= 0)
      throw ImportError(ecBadGraphicsFormat, "The PDF file has no pages: " + path);
    if (m_pages > maxPages)
      throw ImportError(ecBadGraphicsFormat, "The PDF file has " + std::to_string(m_pages) +
                                                 " pages; at most " + std::to_string(maxPages) +
                                                 " pages can be faxed at once.");
    m_paper[0] = 255;
    m_drawing = std::make_unique<FaxDrawing>(m_paper);
    m_drawing->startDoc(m_doc.get());
  }

  int pageCount() const override { return m_pages; }

  SourcePage readPage(int index, const FaxGrid& grid) override {
    const int number = index + 1;
    if (!m_doc->getPage(number))
      throw ImportError(ecBadGraphicsFormat, pageText(index) + " of the PDF file is damaged.");
    double w = m_doc->getPageCropWidth(number), h = m_doc->getPageCropHeight(number);
    int rotate = m_doc->getPageRotate(number);
    if (rotate % 180 != 0)
      std::swap(w, h);
    if (!(w >= 1 && h >= 1 && w < 1e6 && h < 1e6))
      throw ImportError(ecBadGraphicsFormat, pageText(index) + " of the PDF file has no size.");
    // Points are 1/72 inch: the page keeps its printed size when it fits.
    if (turnsWide(int(w * 100), int(h * 100), 7200, 7200, grid)) {
      std::swap(w, h);
      rotate = 270; // added to the page's own turn: a quarter anticlockwise
    } else {
      rotate = 0;
    }
    const PageSize size = fitSize(int(w * 100), int(h * 100), 7200, 7200, grid);
    const double xres = size.width * 72.0 / w, yres = size.height * 72.0 / h;
    m_doc->displayPageSlice(m_drawing.get(), number, xres, yres, rotate, false, true, false, -1, -1,
                            -1, -1, nullptr, nullptr, nullptr, nullptr, true);
    // The page stays the device's: the next page is drawn into the same
    // memory, which the reader of this one has finished with by then.
    SplashBitmap* bitmap = m_drawing->getBitmap();
    if (!bitmap || bitmap->getMode() != splashModeMono8 || bitmap->getWidth() <= 0 ||
        bitmap->getHeight() <= 0)
      throw ImportError(ecBadGraphicsFormat, pageText(index) + " of the PDF file cannot be drawn.");
    SourcePage out;
    out.atFaxGrid = true;
    GreyImage& g = out.grey;
    g.width = bitmap->getWidth();
    g.height = std::min(bitmap->getHeight(), grid.maxRows);
    g.drawn = bitmap->getDataPtr();
    g.stride = std::size_t(bitmap->getRowSize());
    return out;
  }

private:
  static std::string pageText(int index) { return "Page " + std::to_string(index + 1); }

  std::unique_ptr<PDFDoc> m_doc;
  SplashColor m_paper{};
  std::unique_ptr<FaxDrawing> m_drawing;
  int m_pages = 0;
};

} // namespace

std::unique_ptr<PageSource> openPdfSource(const std::string& path, const SourceLimits& limits) {
  return std::make_unique<PdfSource>(path, limits.maxPages);
}

void checkSourceSize(uint64_t width, uint64_t height, const std::string& what, uint64_t maxPixels) {
  if (width == 0 || height == 0)
    throw ImportError(ecBadGraphicsFormat, what + " has no pixels.");
  if (width > uint64_t(kMaxSourceSide) || height > uint64_t(kMaxSourceSide) ||
      width * height > maxPixels)
    throw ImportError(ecBadGraphicsFormat, what + " is too large to fax (" + std::to_string(width) +
                                               " x " + std::to_string(height) + " pixels).");
}

} // namespace docimport
