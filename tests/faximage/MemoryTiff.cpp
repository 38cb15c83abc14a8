#include "MemoryTiff.h"

#include <algorithm>
#include <cstring>

namespace memtiff {

namespace {

MemoryTiff& of(thandle_t h) {
  return *static_cast<MemoryTiff*>(h);
}

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
  MemoryTiff& m = of(h);
  const toff_t left = m.position < m.bytes.size() ? m.bytes.size() - m.position : 0;
  const tmsize_t n = tmsize_t(std::min<toff_t>(left, toff_t(size)));
  std::memcpy(buf, m.bytes.data() + m.position, size_t(n));
  m.position += toff_t(n);
  return n;
}

tmsize_t writeProc(thandle_t h, void* buf, tmsize_t size) {
  MemoryTiff& m = of(h);
  if (m.position + toff_t(size) > m.bytes.size())
    m.bytes.resize(size_t(m.position + toff_t(size)));
  std::memcpy(m.bytes.data() + m.position, buf, size_t(size));
  m.position += toff_t(size);
  return size;
}

toff_t seekProc(thandle_t h, toff_t off, int whence) {
  MemoryTiff& m = of(h);
  m.position = whence == SEEK_SET   ? off
               : whence == SEEK_CUR ? m.position + off
                                    : m.bytes.size() + off;
  return m.position;
}

int closeProc(thandle_t) {
  return 0;
}
toff_t sizeProc(thandle_t h) {
  return of(h).bytes.size();
}
int mapProc(thandle_t, void**, toff_t*) {
  return 0;
}
void unmapProc(thandle_t, void*, toff_t) {}

} // namespace

TIFF* openMemoryTiff(MemoryTiff& m, const char* mode) {
  m.position = 0;
  return TIFFClientOpen("memory", mode, &m, readProc, writeProc, seekProc, closeProc, sizeProc,
                        mapProc, unmapProc);
}

void setFaxFields(TIFF* t, int width, int height, int compression, uint32_t g3Options, bool fine) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_CCITTFAX3)
    TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, g3Options);
  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
  TIFFSetField(t, TIFFTAG_YRESOLUTION, fine ? 196.0 : 98.0);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
}

} // namespace memtiff
