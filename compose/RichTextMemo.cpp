#include "compose/RichTextMemo.h"

#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <stdexcept>

namespace compose {

void LoadRichText(richtext::TRichEditor& editor, const xbase::Table& table,
                  const std::string& field) {
  std::string rtf;
  try {
    rtf = table.memo(field);
  } catch (const std::exception& e) {
    throw std::runtime_error("The text cannot be read from " + table.path() + ": " + e.what());
  }
  editor.LoadFromRtf(rtf);
  editor.Repaint();
}

void SaveRichText(const richtext::TRichEditor& editor, xbase::Table& table,
                  const std::string& field) {
  table.setMemo(field, editor.SaveToRtf());
}

} // namespace compose
