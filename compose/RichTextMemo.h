#pragma once
// Rich text between an editor and a memo field of the current record. The
// RTF goes straight between the editor and the table's memo: no temporary
// file stands in between that a full disk could leave short or empty.

#include <string>

namespace xbase {
class Table;
}
namespace richtext {
class TRichEditor;
}

namespace compose {

// Replaces the editor's text with the memo's RTF. Throws std::runtime_error
// with a reason a window can show when the memo cannot be read (a damaged
// memo file); the editor is then left as it was, and the caller must not
// offer it as the stored text.
void LoadRichText(richtext::TRichEditor& editor, const xbase::Table& table,
                  const std::string& field);

// Puts the editor's RTF into the memo of the record being edited or
// appended (state Edit or Insert); post() writes it. The memo's old blocks
// stay referenced until the record is written, so a failed post leaves the
// stored text as it was.
void SaveRichText(const richtext::TRichEditor& editor, xbase::Table& table,
                  const std::string& field);

} // namespace compose
