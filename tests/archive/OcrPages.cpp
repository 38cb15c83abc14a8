#include "OcrPages.h"

#include "archive/FaxText.h"
#include "richtext/RichEditor.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace archivetest {

namespace {

std::string rtfEscaped(const std::string& line) {
  std::string out;
  for (const char c : line) {
    if (c == '\\' || c == '{' || c == '}')
      out += '\\';
    out += c;
  }
  return out;
}

} // namespace

faximage::PageBitmap DrawTextPage(const std::string& text, int pointSize) {
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman DejaVu Serif;}}\\f0\\fs" +
                    std::to_string(pointSize * 2) + " ";
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
    rtf += rtfEscaped(line) + "\\par\n";
  rtf += "}";
  richtext::TRichEditor editor;
  editor.LoadFromRtf(rtf);
  faximage::PageBitmap drawn = richtext::newFaxPage();
  editor.DrawFaxPage(0, drawn);
  // Centred on a 1728-pixel fax row, as the program sends it.
  faximage::PageBitmap page(1728, drawn.height());
  const std::size_t margin = (page.stride() - drawn.stride()) / 2;
  for (int y = 0; y < drawn.height(); ++y)
    std::copy_n(drawn.row(y), drawn.stride(), page.row(y) + margin);
  return page;
}

faximage::PageBitmap StandardRows(const faximage::PageBitmap& fine) {
  faximage::PageBitmap standard(fine.width(), fine.height() / 2);
  for (int y = 0; y < standard.height(); ++y)
    std::copy_n(fine.row(2 * y), fine.stride(), standard.row(y));
  return standard;
}

std::string TestText(const std::string& name) {
  std::ifstream in(std::string(TOLVANE_TEST_DATA) + "/archive/" + name);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

double WordAccuracy(const std::string& reference, const std::string& ocr) {
  const std::vector<std::string> ref = archive::TextWords(reference);
  const std::vector<std::string> got = archive::TextWords(ocr);
  // Levenshtein distance over words, one row at a time.
  std::vector<std::size_t> prev(got.size() + 1), cur(got.size() + 1);
  for (std::size_t j = 0; j <= got.size(); ++j)
    prev[j] = j;
  for (std::size_t i = 1; i <= ref.size(); ++i) {
    cur[0] = i;
    for (std::size_t j = 1; j <= got.size(); ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1,
                         prev[j - 1] + (ref[i - 1] == got[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  return ref.empty() ? 0.0 : 1.0 - double(prev[got.size()]) / double(ref.size());
}

} // namespace archivetest
