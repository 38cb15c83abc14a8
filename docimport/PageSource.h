#pragma once
// A document's pages as its reader decodes them, one page at a time, so that
// only one page is ever held in memory.

#include "docimport/ImportTypes.h"

#include <memory>
#include <string>

namespace docimport {

struct SourcePage {
  // A black-and-white page (bits, 1 = black) or a grey one.
  bool bilevel = false;
  faximage::PageBitmap bits;
  GreyImage grey;
  double xdpi = 0; // of bits; grey carries its own
  double ydpi = 0;
  // The grey page was drawn at the fax grid asked for (a rendered PDF page).
  bool atFaxGrid = false;
};

class PageSource {
public:
  virtual ~PageSource() = default;
  virtual int pageCount() const = 0;
  // Decodes page `index` (0 based). A source that draws its pages draws them
  // at `grid`; the rows of such a page may be the source's own (GreyImage::
  // drawn) and last until its next readPage. Throws ImportError.
  virtual SourcePage readPage(int index, const FaxGrid& grid) = 0;
};

// Each opens the file and checks what can be checked before any page is
// decoded (kind, page count, sizes); throws ImportError.
struct SourceLimits {
  int maxPages = kMaxPages;
  uint64_t maxPixels = kMaxSourcePixels;
};
std::unique_ptr<PageSource> openPdfSource(const std::string& path, const SourceLimits& limits);
std::unique_ptr<PageSource> openPngSource(const std::string& path, const SourceLimits& limits);
std::unique_ptr<PageSource> openJpegSource(const std::string& path, const SourceLimits& limits);
std::unique_ptr<PageSource> openTiffSource(const std::string& path, const SourceLimits& limits);

// Refuses a decoded page size that would take more time or memory than a
// fax page is worth.
void checkSourceSize(uint64_t width, uint64_t height, const std::string& what, uint64_t maxPixels);

} // namespace docimport
