#pragma once
// The fixed, seeded samples on which the spelling engine is measured against
// Hunspell: single-edit misspellings of common words, and a document of
// 10,000 words with a few mistakes in it. Words are Windows-1252.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace spellbench {

struct Misspelling {
  std::string typo;
  std::string intended;
};

// Common words (the list beside this file) that both dictionaries know.
std::vector<std::string> CommonWords();
// count misspellings made by one deletion, insertion, substitution or swap of
// neighbours in a common word; a result that any of the given checks knows
// as a word is drawn again.
std::vector<Misspelling> MakeMisspellings(std::size_t count, unsigned seed,
                                          const std::function<bool(const std::string&)>& isWord);
// A document of count words: common words and words of the whole list,
// some capitalised, with every twentieth word misspelled.
std::vector<std::string> MakeDocument(std::size_t count, unsigned seed,
                                      const std::function<bool(const std::string&)>& isWord);

} // namespace spellbench
