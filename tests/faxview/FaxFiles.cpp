#include "FaxFiles.h"

#include "faximage/ApfWriter.h"
#include "faximage/MhEncoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace faxtest {

using faximage::PageBitmap;

namespace {
// The scratch folder, removed when the program ends.
struct ScratchDir {
  ScratchDir()
      : path((std::filesystem::temp_directory_path() /
              ("tolvane-faxview-" + std::to_string(getpid())))
                 .string()) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};
} // namespace

std::string scratch(const std::string& name) {
  static const ScratchDir dir;
  return dir.path + "/" + name;
}

void writeApf(const std::string& path, const std::vector<PageBitmap>& pages, bool fine) {
  faximage::ApfWriter w;
  if (w.create(path) < 0)
    throw std::runtime_error("cannot create " + path);
  std::array<uint8_t, faximage::kMaxRowRecord> record{};
  for (const PageBitmap& page : pages) {
    uint16_t flags = faximage::PageFlagLengthWords;
    if (fine)
      flags |= faximage::PageFlagFine;
    if (page.width() > 1728)
      flags |= faximage::PageFlagWide;
    faximage::RowLayout layout;
    layout.width = page.width() > 1728 ? 2048 : 1728;
    for (int y = 0; y < page.height(); ++y) {
      const std::size_t n = faximage::encodeRowRecord(page.row(y), layout, record.data());
      if (w.writeRecord(record.data(), n, flags) < 0)
        throw std::runtime_error("write failed");
    }
    if (w.endPage(flags) < 0)
      throw std::runtime_error("end page failed");
  }
  if (w.finish("TEST", 0) < 0)
    throw std::runtime_error("finish failed");
}

Block blockOf(int n) {
  return {100 + 200 * ((n - 1) % 6), 300 + 200 * ((n - 1) / 6), 120};
}

PageBitmap numberedPage(int n, int width, int height) {
  PageBitmap page(width, height);
  for (int x = 0; x < width; ++x)
    for (int t = 0; t < 4; ++t) {
      page.setPixel(x, t, true);
      page.setPixel(x, height - 1 - t, true);
    }
  for (int y = 0; y < height; ++y)
    for (int t = 0; t < 4; ++t) {
      page.setPixel(t, y, true);
      page.setPixel(width - 1 - t, y, true);
    }
  const Block b = blockOf(n);
  for (int y = b.y; y < b.y + b.size && y < height; ++y)
    for (int x = b.x; x < b.x + b.size && x < width; ++x)
      page.setPixel(x, y, true);
  for (int i = 0; i < std::min(width, height) / 2; ++i)
    page.setPixel(width / 2 + i / 2, height / 2 + i, true);
  return page;
}

std::string numberedFax(const std::string& name, int count, bool fine, int height) {
  std::vector<PageBitmap> pages;
  for (int n = 1; n <= count; ++n)
    pages.push_back(numberedPage(n, 1728, height));
  const std::string path = scratch(name);
  writeApf(path, pages, fine);
  return path;
}

std::string capture(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p)
    return out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    out.append(buf, n);
  const int rc = pclose(p);
  if (status)
    *status = rc;
  return out;
}

PageBitmap loadChart(int number) {
  const std::string path =
      std::string(TOLVANE_TEST_DATA) + "/faximage/itu/itu" + std::to_string(number) + ".pbm.gz";
  const std::string pbm = capture("gzip -dc '" + path + "'");
  // P4 header: magic, width, height, then packed rows.
  int width = 0, height = 0, consumed = 0;
  if (std::sscanf(pbm.c_str(), "P4 %d %d%n", &width, &height, &consumed) != 2)
    throw std::runtime_error("bad chart " + path);
  PageBitmap page(width, height);
  const std::size_t at = std::size_t(consumed) + 1;
  if (pbm.size() < at + page.bits().size())
    throw std::runtime_error("short chart " + path);
  std::copy_n(pbm.data() + at, page.bits().size(), page.bits().data());
  return page;
}

} // namespace faxtest
