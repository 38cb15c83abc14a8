#include "archive/WordBoxes.h"

#include "archive/ByteCoding.h"
#include "archive/FaxText.h"

#include <algorithm>
#include <cstdint>

namespace archive {

namespace {

constexpr std::string_view kMagic = "TWB1";
constexpr uint32_t kMaxPages = 10000;
constexpr int kWordFixedBytes = 5 * 2; // x, y, width, height, text length

bool decodePage(bytes::Reader& in, PageWords& page) {
  uint32_t count = 0;
  if (!in.get16(page.Width) || !in.get16(page.Height) || !in.get32(count) ||
      count > in.left() / kWordFixedBytes)
    return false;
  page.Boxes.resize(count);
  for (WordBox& box : page.Boxes) {
    int length = 0;
    if (!in.get16(box.X) || !in.get16(box.Y) || !in.get16(box.Width) || !in.get16(box.Height) ||
        !in.get16(length) || !in.bytes(std::size_t(length), box.Text))
      return false;
  }
  return true;
}

} // namespace

std::string EncodeWordBoxes(const std::vector<PageWords>& pages) {
  std::string out(kMagic);
  bytes::put32(out, uint32_t(std::min<std::size_t>(pages.size(), kMaxPages)));
  for (std::size_t p = 0; p < pages.size() && p < kMaxPages; ++p) {
    bytes::put16(out, pages[p].Width);
    bytes::put16(out, pages[p].Height);
    bytes::put32(out, uint32_t(pages[p].Boxes.size()));
    for (const WordBox& box : pages[p].Boxes) {
      bytes::put16(out, box.X);
      bytes::put16(out, box.Y);
      bytes::put16(out, box.Width);
      bytes::put16(out, box.Height);
      const std::size_t length = std::min<std::size_t>(box.Text.size(), 0xffff);
      bytes::put16(out, int(length));
      out.append(box.Text, 0, length);
    }
  }
  return out;
}

bool DecodeWordBoxes(std::string_view data, std::vector<PageWords>& pages) {
  pages.clear();
  if (data.substr(0, kMagic.size()) != kMagic)
    return false;
  bytes::Reader in(data.substr(kMagic.size()));
  uint32_t count = 0;
  if (!in.get32(count) || count > kMaxPages)
    return false;
  std::vector<PageWords> read(count);
  for (PageWords& page : read)
    if (!decodePage(in, page))
      return false;
  if (in.left() != 0)
    return false;
  pages = std::move(read);
  return true;
}

std::vector<FoundWord> MatchingWords(const std::vector<PageWords>& pages,
                                     const std::vector<std::string>& words) {
  std::vector<FoundWord> found;
  if (words.empty())
    return found;
  auto matches = [&words](const std::string& token) {
    return std::any_of(words.begin(), words.end(), [&token](const std::string& w) {
      return !w.empty() && token.compare(0, w.size(), w) == 0;
    });
  };
  for (std::size_t p = 0; p < pages.size(); ++p)
    for (const WordBox& box : pages[p].Boxes) {
      const std::vector<std::string> tokens = TextWords(box.Text);
      if (std::any_of(tokens.begin(), tokens.end(), matches))
        found.push_back({int(p + 1), pages[p].Width, pages[p].Height, box});
    }
  return found;
}

} // namespace archive
