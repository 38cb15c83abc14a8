// Both editors' spelling-check requests reach the dialog over their own
// rich text: the toolbar's spell-check button opens it on the first mistake.
#include "SpellTestSupport.h"

#include "app/widgets/MessageBoxes.h"
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
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class EditorSpellCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    platform::setProgramDir(m_dir.Path());
    std::filesystem::copy_file(TOLVANE_MAIN_DICTIONARY, m_dir.File("tov.dct"));
    appwidgets::MessageBoxHook::clear();
    appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
  }
  void TearDown() override { platform::setProgramDir(""); }

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

  spelltest::TempDir m_dir;
};

TEST_F(EditorSpellCheckTest, FaxEditorChecksTheDocumentAndTheCover) {
  compose::TFaxEditor fax;
  fax.RichDoc->setPlainText("The documant has one mistake.");
  fax.RichCover->setPlainText("The covr has another.");
  // One click, one check.
  EXPECT_EQ(checkThrough(fax.RichToolDoc->SpellCheck, *fax.RichDoc), "documant");
  EXPECT_EQ(checkThrough(fax.RichToolCover->SpellCheck, *fax.RichCover), "covr");
  EXPECT_TRUE(appwidgets::MessageBoxHook::shownTexts().isEmpty());
}

TEST_F(EditorSpellCheckTest, CoverEditorChecksItsTemplate) {
  compose::TCoverEditor cover;
  cover.RichCover->setPlainText("Dear reciever,");
  EXPECT_EQ(checkThrough(cover.RichToolBar1->SpellCheck, *cover.RichCover), "reciever");
}

} // namespace
