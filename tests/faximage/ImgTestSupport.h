#pragma once
// Helpers for the converter and APF tests: scratch files, the ITU charts,
// decoding our coded pages with libtiff, reading back what we wrote.

#include "faximage/ApfFile.h"
#include "faximage/PageBitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace imgtest {

using Rows = std::vector<std::vector<uint8_t>>;

// A fresh scratch folder per test program run; paths inside it.
std::string scratch(const std::string& name);
std::string dataFile(const std::string& name);
bool fileExists(const std::string& path);
std::vector<uint8_t> readAll(const std::string& path);
void writeAll(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);

// One of the ITU charts (binary PBM, gzip-compressed) from the test data.
faximage::PageBitmap loadChart(int number);

// Decodes a Modified Huffman stream (EOL before every row, APF bit order) of
// `rows` rows of `width` pixels with libtiff. Problems libtiff reports are
// collected in `complaints`.
Rows decodeWithLibtiff(const std::vector<uint8_t>& coded, int width, int rows,
                       std::string* complaints);

// Every page of an APF file: its header and its rows decoded by libtiff
// (row count taken from the number of row records, which all our pages have).
struct DecodedPage {
  faximage::ApfPageHeader header;
  Rows rows;
  std::string complaints;
};
std::vector<DecodedPage> decodeApf(const std::string& path);

// The rows of a bitmap laid onto fax rows: `margin` white pixels, then the
// bitmap's pixels, cut at the row width.
Rows placeRows(const faximage::PageBitmap& bitmap, int width, int margin);
Rows placeRows(const Rows& raw, int rawWidth, int width, int margin);

// "" when the rows are equal, otherwise where they first differ.
std::string rowsDiffer(const Rows& actual, const Rows& expected);

// Runs a shell command quietly; false when it fails.
bool run(const std::string& command);

// Runs ImageMagick's convert with the given arguments; false when it fails.
bool imageMagick(const std::string& arguments);

} // namespace imgtest
