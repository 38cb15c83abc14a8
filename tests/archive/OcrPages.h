#pragma once
// Fax pages with known text for measuring OCR: text drawn from RTF the way
// the program draws a fax, and the ITU business letter with its transcript.

#include "faximage/PageBitmap.h"

#include <string>

namespace archivetest {

// The first fax page (fine resolution, 1728 pixels wide) of a document whose paragraphs are
// the lines of `text`, set in a serif font of the given size.
faximage::PageBitmap DrawTextPage(const std::string& text, int pointSize);

// The standard-resolution page of a fine one: every other row.
faximage::PageBitmap StandardRows(const faximage::PageBitmap& fine);

// A file of the test data as text.
std::string TestText(const std::string& name);

// 1 - (word edits from reference to ocr) / (words of reference), words
// compared in lower case with punctuation removed.
double WordAccuracy(const std::string& reference, const std::string& ocr);

} // namespace archivetest
