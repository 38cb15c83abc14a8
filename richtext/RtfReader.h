#pragma once

#include "richtext/PageLayout.h"

#include <string_view>

class QTextDocument;

namespace richtext {

// Reads RTF into a QTextDocument, replacing its content. Accepts what other
// word processors write: unknown control words and ignorable destinations
// are skipped, tables become tab-separated paragraphs, PNG and JPEG
// pictures become images of the document (other picture kinds are left
// out), running headers and footers stay out of the text, and Symbol-font
// characters become the Unicode characters they show. Malformed input never stops it; the result is
// whatever text it held. Returns false when the data does not start like RTF ("{\rtf"). When the
// RTF names a page size or margins, they are stored in *layout.
bool readRtf(std::string_view data, QTextDocument& doc, TPageLayout* layout = nullptr);

} // namespace richtext
