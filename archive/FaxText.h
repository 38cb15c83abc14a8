#pragma once
// The text of a fax file: every page of an APF file read by OCR.

#include <functional>
#include <string>
#include <vector>

namespace archive {

struct FaxText {
  std::string RemoteId;           // the station ID in the file header
  std::vector<std::string> Pages; // one text per page, in page order
};

// Reads the text of an APF file (archive/ocr's ReadFaxText, or the OCR
// module loaded by the desktop program). Throws when the file cannot be read.
using TextReader = std::function<FaxText(const std::string& apfPath)>;

// The words of a text for comparing: letters and digits, lower case.
std::vector<std::string> TextWords(const std::string& text);

} // namespace archive
