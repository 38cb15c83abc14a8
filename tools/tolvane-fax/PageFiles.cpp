#include "tools/tolvane-fax/PageFiles.h"

#include "platform/FxErrors.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace cli {

using faximage::PageBitmap;

AtomicOutput::AtomicOutput(std::string path)
    : m_path(std::move(path)), m_temp(m_path + ".part" + std::to_string(getpid())) {}

AtomicOutput::~AtomicOutput() {
  if (!m_committed)
    std::remove(m_temp.c_str());
}

void AtomicOutput::commit() {
  if (std::rename(m_temp.c_str(), m_path.c_str()) != 0)
    RaiseFxError(IoErrorFromErrno(errno, true));
  m_committed = true;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File create(const std::string& path) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f)
    RaiseFxError(IoErrorFromErrno(errno, true));
  return f;
}

void finish(File f) {
  if (std::ferror(f.get()) || std::fclose(f.release()) != 0)
    RaiseFxError(IoErrorFromErrno(errno ? errno : EIO, true));
}

} // namespace

void writePbm(const std::string& path, const ExportPage& page) {
  const PageBitmap& bm = page.bitmap;
  File f = create(path);
  std::fprintf(f.get(), "P4\n%d %d\n", bm.width(), bm.height());
  std::fwrite(bm.bits().data(), 1, bm.bits().size(), f.get());
  finish(std::move(f));
}

void writePng(const std::string& path, const ExportPage& page) {
  const PageBitmap& bm = page.bitmap;
  File f = create(path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    RaiseFxError(ecDeviceWrite);
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, png_uint_32(bm.width()), png_uint_32(bm.height()), 1, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Pixels per metre from dots per inch.
  png_set_pHYs(png, info, png_uint_32(page.xDpi * 10000 / 254),
               png_uint_32(page.yDpi * 10000 / 254), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  png_set_invert_mono(png); // grey 0 is black in PNG, 1 is black in our rows
  for (int y = 0; y < bm.height(); ++y)
    png_write_row(png, bm.row(y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  finish(std::move(f));
}

} // namespace cli
