#pragma once
// Reading and writing fax pages as TIFF files with libtiff, for the call
// and interop harnesses: pages of rows of packed bits, 1 bits black, the
// first pixel in the top bit. Header-only so that every test program that
// builds one of the harnesses gets it without a further source file.

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tiffpages {

using Row = std::vector<uint8_t>;
using Page = std::vector<Row>;

// The tags of page `index` of `count`: Group 3, 1728 pixels wide at
// standard resolution, the whole page in one strip.
inline void SetFaxPageTags(TIFF* tif, uint32_t width, uint32_t rows, size_t index, size_t count) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0f);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, 98.0f);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
  TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(index), uint16_t(count));
}

// Every page of the file (none when it cannot be opened); rows of a page
// that is stored white-is-one are inverted.
inline std::vector<Page> ReadPages(const std::string& path) {
  std::vector<Page> pages;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif)
    return pages;
  do {
    uint32_t width = 0, height = 0;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    Page page;
    Row line(size_t(TIFFScanlineSize(tif)));
    for (uint32_t y = 0; y < height && TIFFReadScanline(tif, line.data(), y, 0) >= 0; ++y) {
      Row r(line.begin(), line.begin() + (width + 7) / 8);
      if (photometric == PHOTOMETRIC_MINISBLACK)
        for (auto& b : r)
          b = uint8_t(~b);
      page.push_back(std::move(r));
    }
    pages.push_back(std::move(page));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return pages;
}

// Writes the pages 1728 pixels wide, encoded by libtiff.
inline void WritePages(const std::string& path, const std::vector<Page>& pages) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif)
    return;
  for (size_t p = 0; p < pages.size(); ++p) {
    const Page& page = pages[p];
    SetFaxPageTags(tif, 1728, uint32_t(page.size()), p, pages.size());
    for (size_t y = 0; y < page.size(); ++y) {
      Row row = page[y]; // libtiff may change the buffer it encodes
      TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
}

} // namespace tiffpages
