#pragma once
// Image files of decoded fax pages, written under a temporary name and
// renamed into place only when complete, so a failure leaves nothing behind.

#include "faximage/PageBitmap.h"

#include <functional>
#include <string>
#include <vector>

namespace cli {

struct ExportPage {
  faximage::PageBitmap bitmap; // 1 = black
  int xDpi = 204;
  int yDpi = 196;
};

// Creates `path` through a temporary file in the same folder.
class AtomicOutput {
public:
  explicit AtomicOutput(std::string path);
  ~AtomicOutput(); // removes the temporary file unless committed
  const std::string& tempPath() const { return m_temp; }
  void commit(); // renames the finished file into place; raises on failure

private:
  std::string m_path;
  std::string m_temp;
  bool m_committed = false;
};

void writePbm(const std::string& path, const ExportPage& page);
void writePng(const std::string& path, const ExportPage& page);
// `count` pages into one TIFF, one-dimensional G3 coded. Pages are fetched
// one at a time, so only one is held in memory.
void writeTiff(const std::string& path, int count, const std::function<ExportPage(int)>& page);

} // namespace cli
