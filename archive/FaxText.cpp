#include "archive/FaxText.h"

#include <cctype>

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

} // namespace archive
