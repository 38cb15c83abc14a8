#include "DocImportSupport.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace doctest {

std::string docData(const std::string& name) {
  return std::string(TOLVANE_TEST_DATA) + "/docimport/" + name;
}

std::vector<docimport::FaxPage> importAll(const std::string& path,
                                          const docimport::ImportOptions& options) {
  std::vector<docimport::FaxPage> pages;
  docimport::importPages(path, options,
                         [&](docimport::FaxPage&& page) { pages.push_back(std::move(page)); });
  return pages;
}

docimport::GreyImage readPgm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  docimport::GreyImage g;
  in >> magic >> g.width >> g.height >> maxval;
  in.get();
  if (magic != "P5" || maxval != 255 || g.width <= 0 || g.height <= 0)
    throw std::runtime_error("not a PGM file: " + path);
  g.pixels.resize(std::size_t(g.width) * std::size_t(g.height));
  in.read(reinterpret_cast<char*>(g.pixels.data()), std::streamsize(g.pixels.size()));
  return g;
}

double differingShare(const faximage::PageBitmap& a, const faximage::PageBitmap& b) {
  const int w = std::max(a.width(), b.width()), h = std::max(a.height(), b.height());
  if (w == 0 || h == 0)
    return 0;
  auto at = [](const faximage::PageBitmap& p, int x, int y) {
    return x < p.width() && y < p.height() && p.pixel(x, y);
  };
  long differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      differ += at(a, x, y) != at(b, x, y);
  return double(differ) / (double(w) * h);
}

void writeBilevelTiff(const std::string& path, const std::vector<faximage::PageBitmap>& pages,
                      float xdpi, float ydpi) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif)
    throw std::runtime_error("cannot write " + path);
  for (const faximage::PageBitmap& page : pages) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(page.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(page.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(page.height()));
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    if (xdpi > 0) {
      TIFFSetField(tif, TIFFTAG_XRESOLUTION, xdpi);
      TIFFSetField(tif, TIFFTAG_YRESOLUTION, ydpi);
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    for (int y = 0; y < page.height(); ++y)
      TIFFWriteScanline(tif, const_cast<uint8_t*>(page.row(y)), uint32_t(y), 0);
    TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
}

Box blackBox(const faximage::PageBitmap& page) {
  Box box{page.width(), page.height(), 0, 0};
  bool any = false;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      if (page.pixel(x, y)) {
        any = true;
        box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1),
               std::max(box.y1, y + 1)};
      }
  return any ? box : Box{};
}

} // namespace doctest

namespace doctest {

void writeMinimalPdf(const std::string& path, int pages, const std::string& content,
                     const std::string& pageEntries) {
  writeMinimalPdf(path, content, std::vector<std::string>(std::size_t(pages), pageEntries));
}

void writeMinimalPdf(const std::string& path, const std::string& content,
                     const std::vector<std::string>& pageEntries) {
  const int pages = int(pageEntries.size());
  std::vector<std::string> objects;
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (int i = 0; i < pages; ++i)
    kids += std::to_string(4 + i) + " 0 R ";
  objects.push_back("<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>");
  objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                    "\nendstream");
  for (int i = 0; i < pages; ++i)
    objects.push_back("<< /Type /Page /Parent 2 0 R " + pageEntries[std::size_t(i)] +
                      " /Contents 3 0 R >>");
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char line[32];
  for (std::size_t off : offsets) {
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  std::ofstream(path, std::ios::binary) << pdf;
}

} // namespace doctest
