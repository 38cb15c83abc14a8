#include "archive/ocr/FaxOcr.h"

#include "archive/ocr/PageOcr.h"
#include "faxexport/FaxExport.h"
#include "faximage/ApfFile.h"
#include "platform/FxErrors.h"

#include <memory>

namespace archive {

FaxText ReadFaxText(PageOcr& ocr, const std::string& apfPath) {
  faximage::ApfFileHeader header;
  CheckFx(faximage::readApfFileHeader(apfPath, header));
  FaxText text;
  text.RemoteId = header.stationId();
  for (int n = 1; n <= header.pageCount; ++n) {
    // As coded: a standard page keeps its 98 rows per inch and the reader
    // doubles them; decoding the same page twice would cost more.
    const faxexport::ExportPage page = faxexport::DecodeFaxPage(apfPath, n, true);
    text.Words.emplace_back();
    text.Pages.push_back(ocr.Read(page.bitmap, page.xDpi, page.yDpi, &text.Words.back()));
  }
  return text;
}

TextReader MakeTextReader(const std::string& language) {
  auto ocr = std::make_shared<PageOcr>(language);
  return [ocr](const std::string& path) { return ReadFaxText(*ocr, path); };
}

} // namespace archive

// The entry of the OCR module (libtolvane_ocr.so) that the desktop program
// loads in its background reader, so that the OCR engine and its image
// library cost nothing at the program's start.
extern "C" __attribute__((visibility("default"))) archive::TextReader
tolvane_ocr_text_reader(const std::string& language) {
  archive::UseOneCore();
  return archive::MakeTextReader(language);
}
