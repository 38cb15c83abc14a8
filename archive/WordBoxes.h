#pragma once
// Where each word stands on the pages of a fax, as the OCR engine found it:
// kept in the search index so that the viewer can mark the words a search
// matched. Boxes are in the page's pixels as coded (a standard page's rows
// are not doubled), with the page's size, so that a viewer that shows the
// page at another scale or turned can place them.

#include <string>
#include <string_view>
#include <vector>

namespace archive {

struct WordBox {
  int X = 0, Y = 0, Width = 0, Height = 0;
  std::string Text; // as read, punctuation included
};

struct PageWords {
  int Width = 0, Height = 0; // the page in pixels as coded
  std::vector<WordBox> Boxes;
};

// A word found on a page (page from 1).
struct FoundWord {
  int Page = 0;
  int PageWidth = 0, PageHeight = 0;
  WordBox Box;
};

// A compact binary form for the index and for passing between processes.
// Coordinates are kept in 16 bits (a fax page is at most a few thousand
// pixels either way); larger ones are clamped.
std::string EncodeWordBoxes(const std::vector<PageWords>& pages);
// False (pages left empty) when the bytes are not a complete, well-formed
// encoding: the index file can be damaged like any other file.
bool DecodeWordBoxes(std::string_view data, std::vector<PageWords>& pages);

// The boxes of every word that starts with one of `words` (as TextWords
// gives them: lower case letters and digits), in page order.
std::vector<FoundWord> MatchingWords(const std::vector<PageWords>& pages,
                                     const std::vector<std::string>& words);

} // namespace archive
