#include "DecTestSupport.h"

#include "faximage/MhCodes.h"

#include <tiffio.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace dectest {

using namespace faximage;

namespace {

std::string readGz(const std::string& path) {
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f)
    throw std::runtime_error("cannot open " + path);
  std::string out;
  char buf[65536];
  int n;
  while ((n = gzread(f, buf, sizeof buf)) > 0)
    out.append(buf, std::size_t(n));
  gzclose(f);
  return out;
}

void put16(std::vector<uint8_t>& v, std::size_t at, uint32_t x) {
  v[at] = uint8_t(x);
  v[at + 1] = uint8_t(x >> 8);
}
void put32(std::vector<uint8_t>& v, std::size_t at, uint32_t x) {
  put16(v, at, x & 0xFFFF);
  put16(v, at + 2, x >> 16);
}

} // namespace

Raster loadPbmGz(const std::string& path) {
  const std::string s = readGz(path);
  Raster r;
  int consumed = 0;
  if (std::sscanf(s.c_str(), "P4 %d %d%n", &r.width, &r.height, &consumed) != 2)
    throw std::runtime_error("not a P4 file: " + path);
  const std::size_t start = std::size_t(consumed) + 1;
  r.bits.assign(s.begin() + long(start), s.begin() + long(start + r.stride() * r.height));
  return r;
}

std::string ituChart(int n) {
  return std::string(TOLVANE_TEST_DATA) + "/faximage/itu/itu" + std::to_string(n) + ".pbm.gz";
}

void MhWriter::bits(uint32_t code, int count) {
  for (int i = count - 1; i >= 0; --i) {
    if (m_bit == 0)
      m_bytes.push_back(0);
    if (code >> i & 1)
      m_bytes.back() |= uint8_t(1 << m_bit);
    m_bit = (m_bit + 1) & 7;
  }
}

void MhWriter::eol(int fillBits) {
  for (int i = 0; i < fillBits; ++i)
    bits(0, 1);
  bits(mh::kEol.bits, mh::kEol.length);
}

void MhWriter::run(bool black, int length) {
  const mh::Code* term = black ? mh::kBlackTerminating : mh::kWhiteTerminating;
  const mh::Code* makeUp = black ? mh::kBlackMakeUp : mh::kWhiteMakeUp;
  // Runs up to 2623 pixels: one make-up code and one terminating code.
  if (length >= 64) {
    const int chunk = std::min(length, 2560) / 64;
    bits(makeUp[chunk - 1].bits, makeUp[chunk - 1].length);
    length -= chunk * 64;
  }
  bits(term[length].bits, term[length].length);
}

void MhWriter::row(const uint8_t* data, int width) {
  eol();
  bool black = false;
  int x = 0;
  while (x < width) {
    int n = 0;
    while (x + n < width && bool(data[(x + n) / 8] & (0x80 >> ((x + n) % 8))) == black)
      ++n;
    run(black, n);
    x += n;
    black = !black;
  }
}

void MhWriter::whiteRow(int width) {
  eol();
  run(false, width);
}

void MhWriter::rtc(int eols) {
  for (int i = 0; i < eols; ++i)
    eol();
}

void MhWriter::padToByte() {
  m_bit = 0;
}

std::vector<uint8_t> MhWriter::bytes() const {
  return m_bytes;
}

std::vector<uint8_t> apfFile(const std::vector<ApfPage>& pages) {
  std::vector<uint8_t> f(64, 0);
  const char sig[6] = {'A', 'P', 'F', '1', '0', 0x1A};
  std::copy(sig, sig + 6, f.begin());
  put16(f, 32, uint32_t(pages.size()));
  put32(f, 34, 64);
  for (const ApfPage& p : pages) {
    const std::size_t at = f.size();
    f.resize(at + 16, 0);
    put32(f, at, uint32_t(p.data.size()));
    put16(f, at + 4, p.flags);
    f.insert(f.end(), p.data.begin(), p.data.end());
  }
  return f;
}

std::vector<uint8_t> withLengthWords(const std::vector<uint8_t>& stream, std::size_t record) {
  std::vector<uint8_t> out;
  for (std::size_t at = 0; at < stream.size(); at += record) {
    const std::size_t n = std::min(record, stream.size() - at);
    out.push_back(uint8_t(n));
    out.push_back(uint8_t(n >> 8));
    out.insert(out.end(), stream.begin() + long(at), stream.begin() + long(at + n));
  }
  return out;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string tempPath(const std::string& name) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tolvane-dec-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

std::vector<uint8_t> libtiffG3(const Raster& r, bool fillBits) {
  const std::string path = tempPath("g3.tif");
  TIFF* t = TIFFOpen(path.c_str(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(r.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(r.height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, fillBits ? GROUP3OPT_FILLBITS : 0);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(r.height));
  std::vector<uint8_t> row(r.stride());
  for (int y = 0; y < r.height; ++y) {
    std::copy(r.row(y), r.row(y) + r.stride(), row.begin());
    TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
  }
  TIFFClose(t);
  t = TIFFOpen(path.c_str(), "r");
  const tmsize_t size = TIFFRawStripSize(t, 0);
  std::vector<uint8_t> raw(static_cast<std::size_t>(size));
  TIFFReadRawStrip(t, 0, raw.data(), size);
  TIFFClose(t);
  // libtiff ends the strip after the last row; a fax sender follows it with RTC.
  MhWriter rtc;
  rtc.rtc();
  const auto tail = rtc.bytes();
  raw.insert(raw.end(), tail.begin(), tail.end());
  std::filesystem::remove(path);
  return raw;
}

} // namespace dectest
