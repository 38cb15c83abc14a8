#pragma once

#include "richtext/PageLayout.h"

#include <string>

class QTextDocument;

namespace richtext {

// Writes the document as RTF with Windows-1252 text (\'hh escapes, \uN for
// characters outside the code page), font and colour tables, character and
// paragraph properties, page breaks as \pagebb, pictures as PNG \pict
// groups and merge fields as MERGEFIELD fields so that other word
// processors show them.
std::string writeRtf(const QTextDocument& doc, const TPageLayout& layout);

} // namespace richtext
