#pragma once
// The text of a fax file: every page of an APF file read by OCR.

#include "archive/WordBoxes.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

struct FaxText {
  std::string RemoteId;           // the station ID in the file header
  std::vector<std::string> Pages; // one text per page, in page order
  std::vector<PageWords> Words;   // where the words stand, per page (may be empty)
};

// The whole text in one string (for passing it from the reading process and
// for keeping the text of a sent fax, whose pages are not kept), and back;
// Decode is false for anything but a complete encoding.
std::string EncodeFaxText(const FaxText& text);
bool DecodeFaxText(std::string_view data, FaxText& text);

// Reads the text of an APF file (archive/ocr's ReadFaxText, or the OCR
// module loaded by the desktop program). Throws when the file cannot be read.
using TextReader = std::function<FaxText(const std::string& apfPath)>;

// The words of a text for comparing: letters and digits, lower case.
std::vector<std::string> TextWords(const std::string& text);

} // namespace archive
