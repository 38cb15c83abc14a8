#pragma once
// Helpers for the document import tests: fixtures, running the import,
// reference pages from other programs, comparing pages.

#include "docimport/DocumentImport.h"
#include "faximage/PageBitmap.h"

#include <string>
#include <vector>

namespace doctest {

std::string docData(const std::string& name);

// Every page importPages makes of a file.
std::vector<docimport::FaxPage> importAll(const std::string& path,
                                          const docimport::ImportOptions& options = {});

// A binary (P5) PGM file as grey.
docimport::GreyImage readPgm(const std::string& path);

// The share of pixels that differ, over the larger of the two pages (rows
// or columns only one page has count as differing where they are black).
double differingShare(const faximage::PageBitmap& a, const faximage::PageBitmap& b);

// Writes black-and-white pages as an uncompressed multi-page TIFF with the
// given resolution (0: none stated).
void writeBilevelTiff(const std::string& path, const std::vector<faximage::PageBitmap>& pages,
                      float xdpi, float ydpi);

// Bounding box of the black pixels: {x0, y0, x1, y1}, all 0 when none.
struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
Box blackBox(const faximage::PageBitmap& page);

// The message of the ImportError that fn throws, or "" when it throws none.
template <typename Fn> std::string importErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (const docimport::ImportError& e) {
    return e.what();
  }
  return {};
}

} // namespace doctest

namespace doctest {
// A small PDF of `pages` pages that all draw `content`, letter pages unless
// `pageEntries` says otherwise (e.g. "/MediaBox [0 0 792 612] /Rotate 90").
void writeMinimalPdf(const std::string& path, int pages, const std::string& content,
                     const std::string& pageEntries = "/MediaBox [0 0 612 792]");
// The same with each page's own entries.
void writeMinimalPdf(const std::string& path, const std::string& content,
                     const std::vector<std::string>& pageEntries);
} // namespace doctest
