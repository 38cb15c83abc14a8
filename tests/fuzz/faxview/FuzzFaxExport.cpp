// Arbitrary bytes as an APF file: every page the export decodes goes into a
// PDF and a TIFF file, and through the viewer's quarter turns, gray picture
// and block copy at sizes taken from the input. Nothing may crash, and a
// turn there and back must give the page again.
#include "faximage/ApfFile.h"
#include "faxview/PageTransforms.h"
#include "faxexport/FaxExport.h"
#include "platform/FxErrors.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string& scratch(const char* name) {
  static const std::string dir = "/tmp/fuzz-faxview-" + std::to_string(getpid()) + "-";
  static std::string path;
  path = dir + name;
  return path;
}

void transforms(const faximage::PageBitmap& page, unsigned seed) {
  const int w = 1 + int(seed % 97), h = 1 + int((seed >> 8) % 89);
  std::vector<uint8_t> gray(std::size_t(w) * h);
  faxview::ScaleToCoverage(page, w, h, gray.data(), w);
  std::vector<uint8_t> mono(std::size_t((w + 7) / 8) * h);
  faxview::ScaleNearestMono(page, w, h, mono.data(), (w + 7) / 8);
  faxview::CopyBlock(page, int(seed % 300) - 20, int(seed % 200) - 10, w, h, 1 + w / 2, 1 + h / 2);
  if (page.height() > 0 && page.height() % 8 == 0) {
    const faximage::PageBitmap back =
        faxview::RotateQuarterTurns(faxview::RotateQuarterTurns(page, 1), 3);
    if (!(back == page))
      std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string apf = scratch("in.apf");
  if (FILE* f = std::fopen(apf.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  faximage::ApfFileHeader header;
  if (faximage::readApfFileHeader(apf, header) < 0 || header.pageCount == 0)
    return 0;
  const int pages = std::min<int>(header.pageCount, 3);
  for (int n = 1; n <= pages; ++n) {
    try {
      const faxexport::ExportPage page = faxexport::DecodeFaxPage(apf, n, n % 2 == 0);
      transforms(page.bitmap, size > 8 ? unsigned(data[size - 1] | data[size - 2] << 8) : 7u);
    } catch (const std::exception&) {
    }
  }
  for (auto format : {faxexport::ExportFormat::Pdf, faxexport::ExportFormat::Tiff}) {
    try {
      faxexport::ExportFax(apf, 1, pages, scratch("out"), format);
    } catch (const std::exception&) {
    }
  }
  std::remove(scratch("out").c_str());
  return 0;
}
