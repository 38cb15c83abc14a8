#pragma once
// The text of a fax file: every page of an APF file read by OCR.

#include <string>
#include <vector>

namespace archive {

class PageOcr;

struct FaxText {
  std::string RemoteId;           // the station ID in the file header
  std::vector<std::string> Pages; // one text per page, in page order
};

// Decodes each page at its coded resolution and reads it. Throws the fax
// error family when the file cannot be read (not APF, a cut-off page).
FaxText ReadFaxText(PageOcr& ocr, const std::string& apfPath);

// The words of a text for comparing: letters and digits, lower case.
std::vector<std::string> TextWords(const std::string& text);

} // namespace archive
