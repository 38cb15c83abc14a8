#include "compose/EditorRequests.h"

#include "richtext/RichEditor.h"

#include <QMenu>

#if __has_include("compose/TSpellCheckDialog.h")
#include "compose/TSpellCheckDialog.h"
#define TOLVANE_HAVE_SPELL_DIALOG 1
#endif

namespace compose {

void StartSpellCheck(QWidget* parent, richtext::TRichEditor& editor) {
#ifdef TOLVANE_HAVE_SPELL_DIALOG
  RunSpellCheck(parent, editor);
#else
  (void)parent;
  (void)editor;
#endif
}

void AddPictureItems(QMenu* menu, richtext::TRichEditor& editor, QWidget* parent) {
  (void)menu;
  (void)editor;
  (void)parent;
}

} // namespace compose
