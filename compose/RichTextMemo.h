#pragma once
// Rich text between an editor and a memo field of the current record, through
// the temporary file ProgramDir + "Eraseme.rtf".

#include <string>

namespace xbase {
class Table;
}
namespace richtext {
class TRichEditor;
}

namespace compose {

// Clears the editor and loads the memo into it as RTF. False (editor left
// empty) when the memo cannot be written to the temporary file or read back.
// The temporary file is deleted afterwards.
bool LoadRichText(richtext::TRichEditor& editor, const xbase::Table& table,
                  const std::string& field);

// Stores the editor's RTF into the memo of the record being edited or
// appended (state Edit or Insert). The temporary file stays and is replaced
// next time. Throws std::runtime_error with a reason a window can show when
// the file cannot be written; the memo is then unchanged.
void SaveRichText(const richtext::TRichEditor& editor, xbase::Table& table,
                  const std::string& field);

} // namespace compose
