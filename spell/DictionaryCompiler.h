#pragma once
// Builds a main dictionary file from a word list: the words in capitals as
// letter trees, as many sections as 16-bit node numbers need.

#include <cstddef>
#include <string>
#include <vector>

namespace spell {

struct CompileStats {
  std::size_t words = 0; // distinct words stored
  std::size_t left = 0;  // words left out (a character no dictionary holds, too long)
  std::size_t sections = 0;
  std::size_t nodes = 0;
};

// The bytes of a main dictionary holding the given Windows-1252 words. The
// description becomes the preamble's second line.
std::string CompileMainDictionary(const std::vector<std::string>& words,
                                  const std::string& description, CompileStats& stats);

} // namespace spell
