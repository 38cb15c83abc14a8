// The kept text of a sent fax (sent-text/KEY.ocr) and the text the OCR
// child passes back, as found on disk or in the pipe: decoded, encoded and
// decoded again, which must give the same text and word boxes; the word
// boxes' own form alone as well (as the index keeps them).
#include "archive/FaxText.h"
#include "archive/WordBoxes.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool sameWords(const std::vector<archive::PageWords>& a, const std::vector<archive::PageWords>& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t p = 0; p < a.size(); ++p) {
    if (a[p].Width != b[p].Width || a[p].Height != b[p].Height ||
        a[p].Boxes.size() != b[p].Boxes.size())
      return false;
    for (std::size_t i = 0; i < a[p].Boxes.size(); ++i) {
      const auto &x = a[p].Boxes[i], &y = b[p].Boxes[i];
      if (x.X != y.X || x.Y != y.Y || x.Width != y.Width || x.Height != y.Height ||
          x.Text != y.Text)
        return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  archive::FaxText text, again;
  if (archive::DecodeFaxText(bytes, text)) {
    if (!archive::DecodeFaxText(archive::EncodeFaxText(text), again) ||
        again.RemoteId != text.RemoteId || again.Pages != text.Pages ||
        !sameWords(again.Words, text.Words))
      std::abort();
    archive::MatchingWords(text.Words, {"a", "fax"});
  }
  std::vector<archive::PageWords> pages, pagesAgain;
  if (archive::DecodeWordBoxes(bytes, pages) &&
      (!archive::DecodeWordBoxes(archive::EncodeWordBoxes(pages), pagesAgain) ||
       !sameWords(pages, pagesAgain)))
    std::abort();
  return 0;
}
