// Both editors' spelling-check requests reach the dialog over their own
// rich text: the toolbar's spell-check button opens it on the first mistake.
#include "SpellWindowFixture.h"

#include "widgets/MessageBoxes.h"
#include "compose/TCoverEditor.h"
#include "compose/TFaxEditor.h"
#include "compose/TSpellCheckDialog.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "richtext/RichToolBar.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class EditorSpellCheckTest : public spelltest::SpellWindowFixture {
protected:
  // Triggers the action; each spell check dialog it opens must stop at a
  // word with the editor's text marked, and is cancelled there. The words
  // the dialogs stopped at, one per dialog opened, joined by commas.
  static std::string checkThrough(QAction* spellCheck, richtext::TRichEditor& editor) {
    QStringList stoppedAt;
    // Polls for the modal dialog: opening it may process events before its
    // own loop runs.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TSpellCheckDialog*>(QApplication::activeModalWidget());
      auto* word = dialog ? dialog->findChild<QLineEdit*>("Word") : nullptr;
      if (!word || word->text().isEmpty())
        return;
      stoppedAt << word->text();
      // With TOLVANE_SHOTS_DIR set (a run under Xvfb), the screen as it looks.
      if (const QByteArray shots = qgetenv("TOLVANE_SHOTS_DIR"); !shots.isEmpty())
        QApplication::primaryScreen()->grabWindow(0).save(
            QString::fromLocal8Bit(shots) + "/spell-over-editor-" + word->text() + ".png");
      EXPECT_EQ(editor.textCursor().selectedText(), word->text());
      QTest::mouseClick(dialog->findChild<QPushButton*>("Cancelbutton"), Qt::LeftButton);
    });
    // Whatever is still open after ten seconds is closed, so no run hangs.
    QTimer::singleShot(10000, &poll, [] {
      if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    });
    poll.start();
    spellCheck->trigger();
    return stoppedAt.join(',').toStdString();
  }

};

TEST_F(EditorSpellCheckTest, FaxEditorChecksTheDocumentAndTheCover) {
  compose::TFaxEditor fax;
  // A user reaches the spelling button after the editor's first activation.
  fax.show();
  fax.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fax));
  fax.RichDoc->setPlainText("The documant has one mistake.");
  fax.RichCover->setPlainText("The covr has another.");
  // One click, one check, on the page in view.
  QTest::mouseClick(fax.DocumentButton, Qt::LeftButton);
  EXPECT_EQ(checkThrough(fax.RichToolDoc->SpellCheck, *fax.RichDoc), "documant");
  QTest::mouseClick(fax.CoverButton, Qt::LeftButton);
  EXPECT_EQ(checkThrough(fax.RichToolCover->SpellCheck, *fax.RichCover), "covr");
  EXPECT_TRUE(appwidgets::MessageBoxHook::shownTexts().isEmpty());
}

TEST_F(EditorSpellCheckTest, CoverEditorChecksItsTemplate) {
  compose::TCoverEditor cover;
  cover.RichCover->setPlainText("Dear reciever,");
  EXPECT_EQ(checkThrough(cover.RichToolBar1->SpellCheck, *cover.RichCover), "reciever");
}

} // namespace
