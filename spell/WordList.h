#pragma once
// Word lists for building and measuring dictionaries.

#include <cstddef>
#include <string>
#include <vector>

namespace spell {

// Reads a UTF-8 word list, one word a line, into Windows-1252 words. Lines
// with a character the code page lacks, or that are not valid UTF-8, are
// left out and counted in skipped. False when the file cannot be read.
bool ReadWordList(const std::string& path, std::vector<std::string>& words,
                  std::size_t* skipped = nullptr);

// A Windows-1252 string as UTF-8 (for messages and peers that want UTF-8).
std::string AnsiToUtf8(const std::string& ansi);
// UTF-8 as Windows-1252; false when a character is missing from the code page.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);

} // namespace spell
