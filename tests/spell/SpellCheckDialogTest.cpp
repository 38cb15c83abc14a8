// The spelling-check dialog driven as a user drives it, over a document with
// known mistakes.
#include "SpellWindowFixture.h"

#include "widgets/MessageBoxes.h"
#include "compose/TSpellCheckDialog.h"
#include "spell/TAcropSpell.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

using appwidgets::MessageBoxHook::shownTexts;

namespace {

class SpellCheckDialogTest : public spelltest::SpellWindowFixture {
protected:
  template <typename T> static T* child(QWidget& dialog, const char* name) {
    T* w = dialog.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  static void click(QWidget& dialog, const char* name) {
    QTest::mouseClick(child<QPushButton>(dialog, name), Qt::LeftButton);
  }
  static QString word(QWidget& dialog) { return child<QLineEdit>(dialog, "Word")->text(); }
  static void chooseSuggestion(QWidget& dialog, const QString& text) {
    QListWidget* list = child<QListWidget>(dialog, "WordList");
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << text.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.first()).center());
  }

  // With TOLVANE_SHOTS_DIR set (a run under Xvfb), the window as it looks.
  static void saveShot(QWidget& window, const char* name) {
    const QByteArray dir = qgetenv("TOLVANE_SHOTS_DIR");
    if (!dir.isEmpty())
      window.grab().save(QString::fromLocal8Bit(dir) + '/' + name);
  }

};

TEST_F(SpellCheckDialogTest, EveryButtonOverADocumentWithMistakes) {
  richtext::TRichEditor editor;
  editor.setHtml("Teh dog met Teh cat. Please <b>recieve</b> teh parcel. Zorbleflux is new; "
                 "Zorbleflux again. Blorptic here, blorptic there. Alot done.");
  TSpellCheckDialog dialog(editor);
  dialog.show();
  QTRY_COMPARE(word(dialog), QString("Teh"));
  EXPECT_EQ(editor.textCursor().selectedText(), "Teh") << "the word is marked in the editor";
  saveShot(dialog, "spell-check-dialog.png");

  // Suggest: a click on a suggestion moves it into Replace with; Replace All
  // changes this and the next "Teh".
  chooseSuggestion(dialog, "The");
  EXPECT_EQ(child<QLineEdit>(dialog, "ReplaceAs")->text(), "The");
  click(dialog, "ReplaceAllButton");
  EXPECT_EQ(word(dialog), "recieve");
  EXPECT_EQ(child<QLineEdit>(dialog, "ReplaceAs")->text(), "receive");
  click(dialog, "Replace");
  EXPECT_EQ(word(dialog), "teh");
  chooseSuggestion(dialog, "the");
  click(dialog, "Replace");
  // Add: the word goes to the user dictionary and is known from now on.
  EXPECT_EQ(word(dialog), "Zorbleflux");
  click(dialog, "Addbutton");
  // Skip All passes over this word in any letter case for the rest of the check.
  EXPECT_EQ(word(dialog), "Blorptic");
  click(dialog, "SkipAllButton");
  EXPECT_EQ(word(dialog), "Alot");
  EXPECT_TRUE(child<QListWidget>(dialog, "WordList")->findItems("A lot", Qt::MatchExactly).size() ==
              1);
  EXPECT_TRUE(shownTexts().isEmpty());
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
  click(dialog, "GetNextWordButton");

  EXPECT_EQ(shownTexts(), QStringList{"Spell check complete"});
  EXPECT_TRUE(dialog.Completed());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(editor.toPlainText(),
            "The dog met The cat. Please receive the parcel. Zorbleflux is new; Zorbleflux "
            "again. Blorptic here, blorptic there. Alot done.");
  // The replaced word keeps its formatting.
  QTextCursor at(editor.document());
  at.setPosition(int(editor.toPlainText().indexOf("receive")) + 2);
  EXPECT_TRUE(at.charFormat().fontWeight() >= QFont::Bold);
  // The posted close request closes the dialog, which clears the marking.
  QTRY_VERIFY(!editor.textCursor().hasSelection());

  spell::TAcropSpell reader;
  ASSERT_GE(reader.OpenUserDictionary(m_dir.File("tovu.dct")), 0);
  EXPECT_TRUE(reader.IsWordKnown("zorbleflux"));
  EXPECT_FALSE(reader.IsWordKnown("blorptic")) << "skipped words are not added";
}

TEST_F(SpellCheckDialogTest, AllWordsKnownCompletesAtOnceAndCloses) {
  richtext::TRichEditor editor;
  editor.setPlainText("The quick brown fox jumps over the lazy dog's back.");
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
  bool leftOpen = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      leftOpen = true;
      modal->close();
    }
  });
  guard.start(10000);
  EXPECT_TRUE(compose::RunSpellCheck(nullptr, editor));
  EXPECT_FALSE(leftOpen);
  EXPECT_EQ(shownTexts(), QStringList{"Spell check complete"});
  // The user dictionary did not exist: it was created and knows only "A".
  spell::TAcropSpell reader;
  ASSERT_EQ(reader.OpenUserDictionary(m_dir.File("tovu.dct")), 0);
  EXPECT_FALSE(reader.IsWordKnown("AN"));
}

TEST_F(SpellCheckDialogTest, CancelEndsTheCheckWithoutTheCompletionMessage) {
  richtext::TRichEditor editor;
  editor.setPlainText("One mistaek here and anothr there.");
  QTimer::singleShot(0, [&] {
    QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
    QWidget* dialog = QApplication::activeModalWidget();
    QTRY_COMPARE(dialog->findChild<QLineEdit*>("Word")->text(), QString("mistaek"));
    QTest::mouseClick(dialog->findChild<QPushButton*>("Cancelbutton"), Qt::LeftButton);
  });
  EXPECT_FALSE(compose::RunSpellCheck(nullptr, editor));
  EXPECT_TRUE(shownTexts().isEmpty());
  EXPECT_EQ(editor.toPlainText(), "One mistaek here and anothr there.");
  EXPECT_FALSE(editor.textCursor().hasSelection());
}

TEST_F(SpellCheckDialogTest, AnUnusableUserDictionaryDisablesAdd) {
  std::filesystem::create_directory(m_dir.File("tovu.dct")); // not a file
  richtext::TRichEditor editor;
  editor.setPlainText("Wrongg.");
  TSpellCheckDialog dialog(editor);
  EXPECT_EQ(dialog.UserDictionaryHandle(), -1);
  EXPECT_FALSE(child<QPushButton>(dialog, "Addbutton")->isEnabled());
  dialog.show();
  QTRY_COMPARE(word(dialog), QString("Wrongg"));
  EXPECT_EQ(child<QLineEdit>(dialog, "ReplaceAs")->text(), "Wrong");
}

} // namespace
