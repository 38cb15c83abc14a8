// Multi-page TIFF, each page one strip coded in one-dimensional G3 (T.4
// Modified Huffman) by libtiff, with the fax's resolution and page numbers.
#include "faxexport/FaxExport.h"

#include "platform/FxErrors.h"

#include <tiffio.h>

#include <cerrno>

namespace faxexport {

namespace {

void writeTiffPage(TIFF* t, const ExportPage& page, int index, int count) {
  const faximage::PageBitmap& bm = page.bitmap;
  TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(bm.width()));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(bm.height()));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, 0);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(bm.height() ? bm.height() : 1));
  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, float(page.xDpi));
  TIFFSetField(t, TIFFTAG_YRESOLUTION, float(page.yDpi));
  TIFFSetField(t, TIFFTAG_PAGENUMBER, uint16_t(index), uint16_t(count));
  for (int y = 0; y < bm.height(); ++y)
    if (TIFFWriteScanline(t, const_cast<uint8_t*>(bm.row(y)), uint32_t(y), 0) < 0)
      RaiseFxError(ecDeviceWrite);
  if (!TIFFWriteDirectory(t))
    RaiseFxError(ecDeviceWrite);
}

} // namespace

void WriteTiff(const std::string& path, int count, const std::function<ExportPage(int)>& page) {
  TIFFSetWarningHandler(nullptr);
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t)
    RaiseFxError(IoErrorFromErrno(errno ? errno : EIO, true));
  try {
    for (int i = 0; i < count; ++i)
      writeTiffPage(t, page(i), i, count);
  } catch (...) {
    TIFFClose(t);
    throw;
  }
  // TIFFClose reports nothing: the last buffered data is written here, where
  // a full disk shows.
  errno = 0;
  const bool flushed = TIFFFlush(t) == 1;
  const int err = errno;
  TIFFClose(t);
  if (!flushed)
    RaiseFxError(IoErrorFromErrno(err ? err : EIO, true));
}

} // namespace faxexport
