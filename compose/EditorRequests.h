#pragma once
// What the fax editor and the cover editor ask of other parts of the
// program: the spelling check and inserting pictures or pages of a file.

class QMenu;
class QWidget;

namespace richtext {
class TRichEditor;
}

namespace compose {

// The spelling check over the editor (modal, centred, freed afterwards).
void StartSpellCheck(QWidget* parent, richtext::TRichEditor& editor);

// Adds "Picture..." and "Pages from file..." to an Insert menu; each puts
// the chosen file's pages into the editor as pictures at the caret.
void AddPictureItems(QMenu* menu, richtext::TRichEditor& editor, QWidget* parent);

} // namespace compose
