#include "archive/FaxText.h"

#include "archive/PageOcr.h"
#include "faxexport/FaxExport.h"
#include "faximage/ApfFile.h"
#include "platform/FxErrors.h"

#include <cctype>

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
    text.Pages.push_back(ocr.Read(page.bitmap, page.xDpi, page.yDpi));
  }
  return text;
}

std::vector<std::string> TextWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || u >= 0x80) {
      word += char(std::tolower(u));
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty())
    words.push_back(std::move(word));
  return words;
}

} // namespace archive
