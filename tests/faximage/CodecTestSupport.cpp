#include "CodecTestSupport.h"

#include "DecTestSupport.h"
#include "MemoryTiff.h"

namespace codectest {

using faximage::FaxCoding;

namespace {

void setFields(TIFF* t, FaxCoding coding, int width, int height, bool fine) {
  memtiff::setFaxFields(t, width, height,
                        coding == FaxCoding::Mmr ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3,
                        coding == FaxCoding::Mr ? GROUP3OPT_2DENCODING : 0, fine);
}

} // namespace

faximage::PageBitmap chart(int n) {
  dectest::Raster r = dectest::loadPbmGz(dectest::ituChart(n));
  return faximage::PageBitmap(r.width, r.height, std::move(r.bits));
}

std::vector<uint8_t> libtiffEncode(const faximage::PageBitmap& page, FaxCoding coding, bool fine) {
  memtiff::MemoryTiff m;
  TIFF* t = memtiff::openMemoryTiff(m, "w");
  setFields(t, coding, page.width(), page.height(), fine);
  std::vector<uint8_t> row(page.stride());
  for (int y = 0; y < page.height(); ++y) {
    std::copy(page.row(y), page.row(y) + row.size(), row.begin()); // libtiff may change it
    TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
  }
  TIFFClose(t);
  t = memtiff::openMemoryTiff(m, "r");
  std::vector<uint8_t> raw(std::size_t(TIFFRawStripSize(t, 0)));
  TIFFReadRawStrip(t, 0, raw.data(), tmsize_t(raw.size()));
  TIFFClose(t);
  return raw;
}

faximage::PageBitmap libtiffDecode(const std::vector<uint8_t>& coded, FaxCoding coding, int width,
                                   int height) {
  memtiff::MemoryTiff m;
  TIFF* t = memtiff::openMemoryTiff(m, "w");
  setFields(t, coding, width, height, true);
  TIFFWriteRawStrip(t, 0, const_cast<uint8_t*>(coded.data()), tmsize_t(coded.size()));
  TIFFClose(t);
  faximage::PageBitmap page(width, height);
  t = memtiff::openMemoryTiff(m, "r");
  for (int y = 0; y < height; ++y)
    if (TIFFReadScanline(t, page.row(y), uint32_t(y), 0) < 0)
      break;
  TIFFClose(t);
  return page;
}

} // namespace codectest
