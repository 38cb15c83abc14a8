#pragma once
// Image files of decoded fax pages, written under a temporary name and
// renamed into place only when complete, so a failure leaves nothing behind.

#include "faximage/PageBitmap.h"
#include "faxexport/FaxExport.h"

#include <functional>
#include <string>
#include <vector>

namespace cli {

using ExportPage = faxexport::ExportPage; // 1 = black, with its resolution

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
// TIFF and PDF files: faxexport::WriteTiff and WritePdf.

} // namespace cli
