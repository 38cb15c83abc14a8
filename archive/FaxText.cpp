#include "archive/FaxText.h"

#include "archive/ByteCoding.h"

#include <cctype>
#include <cstdint>

namespace archive {

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

namespace {

constexpr std::string_view kTextMagic = "TFT1";
constexpr uint32_t kMaxPages = 10000;

} // namespace

std::string EncodeFaxText(const FaxText& text) {
  std::string out(kTextMagic);
  bytes::putRun(out, text.RemoteId);
  bytes::put32(out, uint32_t(text.Pages.size()));
  for (const std::string& page : text.Pages)
    bytes::putRun(out, page);
  bytes::putRun(out, EncodeWordBoxes(text.Words));
  return out;
}

bool DecodeFaxText(std::string_view data, FaxText& text) {
  text = FaxText{};
  if (data.substr(0, kTextMagic.size()) != kTextMagic)
    return false;
  bytes::Reader in(data.substr(kTextMagic.size()));
  FaxText read;
  uint32_t pages = 0;
  if (!in.run(read.RemoteId) || !in.get32(pages) || pages > kMaxPages || pages > in.left() / 4)
    return false;
  read.Pages.resize(pages);
  for (std::string& page : read.Pages)
    if (!in.run(page))
      return false;
  std::string boxes;
  if (!in.run(boxes) || in.left() != 0 || !DecodeWordBoxes(boxes, read.Words))
    return false;
  text = std::move(read);
  return true;
}

} // namespace archive
