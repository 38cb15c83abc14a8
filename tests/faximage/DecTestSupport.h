#pragma once
// Helpers for the unpacker tests: ITU chart loading, an MH bit writer for
// hand-made pages, APF file assembly, and libtiff's G3 encoder as an
// independent source of coded rows.

#include <cstdint>
#include <string>
#include <vector>

namespace dectest {

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bits; // rows of ceil(width/8) bytes, MSB first, 1 = black
  std::size_t stride() const { return (std::size_t(width) + 7) / 8; }
  const uint8_t* row(int y) const { return bits.data() + std::size_t(y) * stride(); }
};

// Reads a gzip-compressed binary PBM (P4).
Raster loadPbmGz(const std::string& path);
std::string ituChart(int n);

// Writes codes least significant bit first, as APF pages carry them.
class MhWriter {
public:
  void bits(uint32_t code, int count); // first bit = top bit of count
  void eol(int fillBits = 0);
  void run(bool black, int length);         // make-up + terminating codes
  void row(const uint8_t* data, int width); // EOL, then the row's runs
  void whiteRow(int width);
  void rtc(int eols = 6);
  void padToByte();
  std::vector<uint8_t> bytes() const;

private:
  std::vector<uint8_t> m_bytes;
  int m_bit = 0;
};

struct ApfPage {
  std::vector<uint8_t> data;
  uint16_t flags = 0; // 1 fine, 2 wide, 4 length words
};

// A complete APF file in memory: header, then each page's header and data.
std::vector<uint8_t> apfFile(const std::vector<ApfPage>& pages);
// Splits a bit stream into length-word records of at most `record` bytes.
std::vector<uint8_t> withLengthWords(const std::vector<uint8_t>& stream, std::size_t record);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string tempPath(const std::string& name);

// libtiff's one-dimensional G3 coding of the raster (EOL before every row,
// LSB-first bit order); returns the raw strip bytes followed by RTC.
std::vector<uint8_t> libtiffG3(const Raster& r, bool fillBits);

} // namespace dectest
