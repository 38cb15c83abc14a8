// tolvane-dictc: compiles a word list (UTF-8, one word a line) into the
// program's main dictionary file, then opens the result and checks that it
// knows every word it was given.
//   tolvane-dictc WORDLIST OUTPUT
#include "spell/DictionaryCompiler.h"
#include "spell/DictionaryFormat.h"
#include "spell/TAcropSpell.h"
#include "spell/WordList.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every stored word must be found again in the written file.
std::size_t countUnknown(const std::string& path, const std::vector<std::string>& words,
                         std::string& error) {
  spell::TAcropSpell check;
  if (!check.OpenMainDictionary(path)) {
    error = check.LastError();
    return words.size();
  }
  std::size_t unknown = 0;
  for (const std::string& w : words)
    if (w.size() <= 30 && !check.IsWordKnown(w)) {
      if (unknown < 5)
        std::fprintf(stderr, "tolvane-dictc: not found after compiling: %s\n",
                     spell::AnsiToUtf8(w).c_str());
      ++unknown;
    }
  return unknown;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tolvane-dictc WORDLIST OUTPUT\n");
    return 2;
  }
  const std::string list = argv[1], output = argv[2];
  std::vector<std::string> words;
  std::size_t notInCodePage = 0;
  if (!spell::ReadWordList(list, words, &notInCodePage)) {
    std::fprintf(stderr, "tolvane-dictc: cannot read %s\n", list.c_str());
    return 1;
  }
  spell::CompileStats stats;
  const std::string bytes = spell::CompileMainDictionary(
      words, std::to_string(words.size()) + " words from " + list, stats);
  std::string error;
  if (!spell::WriteFileAtomically(output, bytes, error)) {
    std::fprintf(stderr, "tolvane-dictc: %s\n", error.c_str());
    return 1;
  }
  const std::size_t unknown = countUnknown(output, words, error);
  if (!error.empty() || unknown > 0) {
    std::fprintf(stderr, "tolvane-dictc: %s: %zu words not found after compiling %s\n",
                 output.c_str(), unknown, error.c_str());
    return 1;
  }
  std::printf("tolvane-dictc: %s: %zu words, %zu sections, %zu nodes, %zu bytes "
              "(%zu lines not in Windows-1252, %zu words left out)\n",
              output.c_str(), stats.words, stats.sections, stats.nodes, bytes.size(), notInCodePage,
              stats.left);
  return 0;
}
