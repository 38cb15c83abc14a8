#include "SpellSample.h"

#include "spell/Letters.h"
#include "spell/WordList.h"

#include <fstream>
#include <random>

namespace spellbench {

std::vector<std::string> CommonWords() {
  std::ifstream in(TOLVANE_COMMON_WORDS);
  std::vector<std::string> words;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#')
      words.push_back(line);
  return words;
}

namespace {

std::string oneEdit(const std::string& w, std::mt19937& random) {
  const char letter = char('a' + random() % 26);
  std::string t = w;
  switch (random() % 4) {
  case 0:
    t.erase(random() % t.size(), 1);
    break;
  case 1:
    t.insert(random() % (t.size() + 1), 1, letter);
    break;
  case 2:
    t[random() % t.size()] = letter;
    break;
  default: {
    const std::size_t at = random() % (t.size() - 1);
    std::swap(t[at], t[at + 1]);
    break;
  }
  }
  return t;
}

} // namespace

std::vector<Misspelling> MakeMisspellings(std::size_t count, unsigned seed,
                                          const std::function<bool(const std::string&)>& isWord) {
  const std::vector<std::string> common = CommonWords();
  std::mt19937 random(seed);
  std::vector<Misspelling> out;
  while (out.size() < count) {
    const std::string& w = common[random() % common.size()];
    const std::string typo = oneEdit(w, random);
    if (typo != w && !isWord(typo))
      out.push_back({typo, w});
  }
  return out;
}

std::vector<std::string> MakeDocument(std::size_t count, unsigned seed,
                                      const std::function<bool(const std::string&)>& isWord) {
  const std::vector<std::string> common = CommonWords();
  std::vector<std::string> all;
  spell::ReadWordList("/usr/share/dict/american-english", all);
  std::mt19937 random(seed);
  std::vector<std::string> doc;
  while (doc.size() < count) {
    std::string w =
        random() % 10 < 7 ? common[random() % common.size()] : all[random() % all.size()];
    if (doc.size() % 20 == 19) {
      const std::string typo = oneEdit(w, random);
      if (typo == w || isWord(typo))
        continue;
      w = typo;
    } else if (random() % 8 == 0) {
      w[0] = static_cast<char>(spell::ToCapital(static_cast<unsigned char>(w[0])));
    }
    doc.push_back(w);
  }
  return doc;
}

} // namespace spellbench
