#pragma once
// Fax pages of an APF file as files other programs read: one multi-page PDF
// or one multi-page TIFF coded one-dimensionally in G3, the form other fax
// programs and archives take. Plain C++ (no Qt), shared by the viewer window
// and the command-line tool. Failures raise the fax error family.

#include "faximage/PageBitmap.h"

#include <functional>
#include <string>

namespace faxexport {

struct ExportPage {
  faximage::PageBitmap bitmap; // 1 = black
  int xDpi = 204;
  int yDpi = 196;
};

// Page n of an APF file at its full row width. Standard pages get every row
// twice unless asCoded; with asCoded their rows stay as coded (98 dpi high),
// for formats that carry the vertical resolution.
ExportPage DecodeFaxPage(const std::string& apfPath, int page, bool asCoded);

// `count` pages, fetched one at a time (only one is held in memory), into a
// TIFF file with one G3 coded image per page, or a PDF file with one page per
// fax page at its true size (from the resolution).
void WriteTiff(const std::string& path, int count, const std::function<ExportPage(int)>& page);
void WritePdf(const std::string& path, int count, const std::function<ExportPage(int)>& page);

enum class ExportFormat { Pdf, Tiff };

// Pages first..last of an APF file into one file, written under a temporary
// name in the same folder and renamed into place when complete, so that a
// failure leaves no half-written file behind.
void ExportFax(const std::string& apfPath, int first, int last, const std::string& outPath,
               ExportFormat format);

} // namespace faxexport
