#pragma once

#include "richtext/PageLayout.h"

#include <string_view>

class QTextDocument;

namespace richtext {

// Reads RTF into a QTextDocument, replacing its content. Accepts what other
// word processors write: unknown control words and ignorable destinations
// are skipped, tables become tab-separated paragraphs, pictures are left
// out. Malformed input never stops it; the result is whatever text it held.
// Returns false when the data does not start like RTF ("{\rtf").
// When the RTF names a page size or margins, they are stored in *layout.
bool readRtf(std::string_view data, QTextDocument& doc, TPageLayout* layout = nullptr);

} // namespace richtext
