#include "compose/EditorRequests.h"

#include "widgets/MessageBoxes.h"
#include "richtext/RichEditor.h"

#include <QMenu>
#include <functional>

#if __has_include("compose/TSpellCheckDialog.h")
#include "compose/TSpellCheckDialog.h"
#define TOLVANE_HAVE_SPELL_DIALOG 1
#endif
#ifdef TOLVANE_HAVE_DOCIMPORTQT
#include "docimport/qt/ImportChoice.h"
#include "docimport/qt/PagePictures.h"
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

#ifdef TOLVANE_HAVE_DOCIMPORTQT
namespace {
// Asks for a file and how its pages become black and white, and hands both
// to insert; its failure text is shown.
void insertFromFile(
    QWidget* parent, const QString& caption,
    const std::function<bool(const QString&, docimport::Halftone, QString*)>& insert) {
  const auto choice = docimport::ChooseImportFile(parent, caption);
  if (!choice)
    return;
  QString error;
  if (!insert(choice->path, choice->halftone, &error))
    appwidgets::ShowInfo(error, parent);
}
} // namespace
#endif

void AddPictureItems(QMenu* menu, richtext::TRichEditor& editor, QWidget* parent) {
#ifdef TOLVANE_HAVE_DOCIMPORTQT
  if (!menu->isEmpty())
    menu->addSeparator();
  QAction* picture = menu->addAction(QStringLiteral("Picture…"));
  picture->setObjectName(QStringLiteral("mnuPicture"));
  picture->setStatusTip(QStringLiteral("Insert a picture at the caret"));
  QObject::connect(picture, &QAction::triggered, parent, [parent, &editor] {
    insertFromFile(parent, QStringLiteral("Insert Picture"),
                   [&](const QString& f, docimport::Halftone h, QString* e) {
                     return docimport::InsertPictureFromFile(editor, f, e, h);
                   });
  });
  QAction* pages = menu->addAction(QStringLiteral("Pages from file…"));
  pages->setObjectName(QStringLiteral("mnuPagesFromFile"));
  pages->setStatusTip(QStringLiteral("Insert every page of a file, each on a page of its own"));
  QObject::connect(pages, &QAction::triggered, parent, [parent, &editor] {
    insertFromFile(parent, QStringLiteral("Insert Pages from File"),
                   [&](const QString& f, docimport::Halftone h, QString* e) {
                     return docimport::InsertPagesFromFile(editor, f, e, h) > 0;
                   });
  });
#else
  (void)menu;
  (void)editor;
  (void)parent;
#endif
}

} // namespace compose
