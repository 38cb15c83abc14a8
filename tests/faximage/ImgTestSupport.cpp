#include "ImgTestSupport.h"

#include "faximage/ApfFile.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace imgtest {

std::string scratch(const std::string& name) {
  // Removed with everything in it when the test program ends.
  struct Folder {
    fs::path path = fs::temp_directory_path() / ("tolvane-img-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  };
  static const Folder dir;
  return (dir.path / name).string();
}

std::string dataFile(const std::string& name) {
  return std::string(TOLVANE_TEST_DATA) + "/faximage/" + name;
}

bool fileExists(const std::string& path) {
  return fs::exists(path);
}

std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void writeText(const std::string& path, const std::string& text) {
  writeAll(path, std::vector<uint8_t>(text.begin(), text.end()));
}

faximage::PageBitmap loadChart(int number) {
  const std::string path = dataFile("itu/itu" + std::to_string(number) + ".pbm.gz");
  gzFile gz = gzopen(path.c_str(), "rb");
  if (!gz)
    throw std::runtime_error("cannot open " + path);
  std::vector<uint8_t> bytes;
  char buffer[65536];
  for (int n; (n = gzread(gz, buffer, sizeof buffer)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + n);
  gzclose(gz);
  // "P4\n<width> <height>\n" then the rows, MSB first, 1 = black.
  int width = 0, height = 0, consumed = 0;
  if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P4 %d %d%n", &width, &height,
                  &consumed) != 2)
    throw std::runtime_error("not a PBM: " + path);
  faximage::PageBitmap page(width, height);
  std::memcpy(page.bits().data(), bytes.data() + consumed + 1, page.bits().size());
  return page;
}

namespace {

std::string* g_complaints = nullptr;

void collect(const char* module, const char* fmt, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  if (g_complaints)
    *g_complaints += std::string(module ? module : "") + ": " + text + "\n";
}

} // namespace

Rows decodeWithLibtiff(const std::vector<uint8_t>& coded, int width, int rows,
                       std::string* complaints) {
  std::string sink;
  g_complaints = complaints ? complaints : &sink;
  TIFFSetErrorHandler(collect);
  TIFFSetWarningHandler(collect);
  const std::string path = scratch("libtiff-decode.tif");
  TIFF* out = TIFFOpen(path.c_str(), "w");
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(width));
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(rows));
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0);
  TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(rows));
  TIFFWriteRawStrip(out, 0, const_cast<uint8_t*>(coded.data()), tmsize_t(coded.size()));
  TIFFClose(out);

  Rows result;
  TIFF* in = TIFFOpen(path.c_str(), "r");
  std::vector<uint8_t> row(std::size_t(width + 7) / 8);
  for (int y = 0; in && y < rows; ++y) {
    if (TIFFReadScanline(in, row.data(), uint32_t(y)) < 0)
      break;
    result.push_back(row);
  }
  if (in)
    TIFFClose(in);
  g_complaints = nullptr;
  return result;
}

std::vector<DecodedPage> decodeApf(const std::string& path) {
  std::vector<DecodedPage> pages;
  faximage::ApfFileHeader header;
  if (faximage::readApfFileHeader(path, header) < 0)
    return pages;
  const std::vector<uint8_t> file = readAll(path);
  uint64_t pos = header.firstPageOffset;
  for (unsigned n = 1; n <= header.pageCount && pos + 16 <= file.size(); ++n) {
    DecodedPage page;
    page.header = faximage::ApfPageHeader::fromBytes(&file[pos]);
    std::vector<uint8_t> data;
    int rows = 0;
    // Each record but the end-of-page record is one row.
    for (uint64_t p = pos + 16; p + 2 <= pos + 16 + page.header.imageLength;) {
      const std::size_t len = file[p] | (file[p + 1] << 8);
      data.insert(data.end(), file.begin() + long(p + 2), file.begin() + long(p + 2 + len));
      p += 2 + len;
      ++rows;
    }
    page.rows = decodeWithLibtiff(data, page.header.rowWidth(), rows - 1, &page.complaints);
    pos += 16 + page.header.imageLength;
    pages.push_back(std::move(page));
  }
  return pages;
}

Rows placeRows(const Rows& raw, int rawWidth, int width, int margin) {
  Rows out;
  for (const auto& src : raw) {
    std::vector<uint8_t> row(std::size_t(width) / 8, 0);
    for (int x = 0; x < rawWidth && margin + x < width; ++x)
      if (src[std::size_t(x) / 8] & (0x80 >> (x % 8)))
        row[std::size_t(margin + x) / 8] |= uint8_t(0x80 >> ((margin + x) % 8));
    out.push_back(std::move(row));
  }
  return out;
}

Rows placeRows(const faximage::PageBitmap& bitmap, int width, int margin) {
  Rows raw;
  for (int y = 0; y < bitmap.height(); ++y)
    raw.emplace_back(bitmap.row(y), bitmap.row(y) + bitmap.stride());
  return placeRows(raw, bitmap.width(), width, margin);
}

std::string rowsDiffer(const Rows& actual, const Rows& expected) {
  if (actual.size() != expected.size())
    return std::to_string(actual.size()) + " rows instead of " + std::to_string(expected.size());
  for (std::size_t y = 0; y < actual.size(); ++y) {
    if (actual[y].size() != expected[y].size())
      return "row " + std::to_string(y) + " has " + std::to_string(actual[y].size()) + " bytes";
    for (std::size_t i = 0; i < actual[y].size(); ++i)
      if (actual[y][i] != expected[y][i]) {
        char text[96];
        std::snprintf(text, sizeof text, "row %zu byte %zu: %02X instead of %02X", y, i,
                      actual[y][i], expected[y][i]);
        return text;
      }
  }
  return "";
}

bool run(const std::string& command) {
  return std::system(("(" + command + ") 2>/dev/null").c_str()) == 0;
}

bool imageMagick(const std::string& arguments) {
  return run("convert " + arguments + " >/dev/null");
}

} // namespace imgtest
