// Cover sheet templates: the browser's modes, New / Clone / Edit / Delete
// through the template editor, and merge fields inserted from the Insert menu
// that keep through the table, the editor and LibreOffice.
#include "ComposeSupport.h"
#include "core/FaxTables.h"
#include "widgets/MessageBoxes.h"
#include "compose/RichTextMemo.h"
#include "compose/TCoverBrowse.h"
#include "compose/TCoverEditor.h"
#include "richtext/MergeField.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

using namespace composetest;
using compose::TCoverBrowse;
using compose::TCoverEditor;

namespace {

class CoverBrowseTest : public DataDirTest {
protected:
  void SetUp() override {
    DataDirTest::SetUp();
    ASSERT_TRUE(app::OpenCoverDBF(m_cover));
  }
  void TearDown() override {
    m_cover.close();
    DataDirTest::TearDown();
  }
  xbase::Table m_cover;
};

// Writes a template in the editor that opens next: description, a line of
// text and the five merge fields from the Insert menu.
void writeTemplate(const QString& description, bool accept = true) {
  onNextModal([=](QDialog* d) {
    auto* editor = qobject_cast<TCoverEditor*>(d);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->CoverDescription->text(), QStringLiteral("{description}"));
    editor->CoverDescription->selectAll();
    QTest::keyClicks(editor->CoverDescription, description);
    QTest::keyClicks(editor->RichCover, QStringLiteral("To: "));
    for (const char* item :
         {"mnuRecipient1", "mnuFaxNumber1", "mnuSubject", "mnuDate", "mnuTime"}) {
      editor->InsertMenu->findChild<QAction*>(QString::fromLatin1(item))->trigger();
      QTest::keyClick(editor->RichCover, Qt::Key_Return);
    }
    QTest::mouseClick(accept ? editor->OKbutton : editor->CancelButton, Qt::LeftButton);
  });
}

QList<int> fieldTags(const richtext::TRichEditor& editor) {
  QList<int> tags;
  for (const richtext::MergeFieldSpan& f : richtext::findMergeFields(*editor.document()))
    tags << f.tag;
  return tags;
}

} // namespace

TEST_F(CoverBrowseTest, ManagingAndChoosingModesShowTheirButtons) {
  TCoverBrowse managing(m_cover);
  managing.show();
  EXPECT_TRUE(managing.CloseButton->isVisible());
  EXPECT_FALSE(managing.Acceptbutton->isVisible());
  EXPECT_FALSE(managing.CancelButton->isVisible());
  QTest::mouseClick(managing.CloseButton, Qt::LeftButton);
  EXPECT_EQ(managing.result(), 2);

  TCoverBrowse choosing(m_cover);
  choosing.SetChoosingMode(true);
  choosing.show();
  EXPECT_FALSE(choosing.CloseButton->isVisible());
  EXPECT_TRUE(choosing.Acceptbutton->isVisible());
  EXPECT_TRUE(choosing.CancelButton->isVisible());
  QTest::mouseClick(choosing.CancelButton, Qt::LeftButton);
  EXPECT_EQ(choosing.result(), 2);
}

TEST_F(CoverBrowseTest, NewCloneCancelEditDelete) {
  TCoverBrowse browse(m_cover);
  browse.show();
  writeTemplate(QStringLiteral("Fax cover with a description too long for the field"));
  QTest::mouseClick(browse.NewButton, Qt::LeftButton);
  ASSERT_EQ(m_cover.queryRecCount(), 1);
  EXPECT_EQ(m_cover.fieldString("DESCRIPT"), "Fax cover with a description too lo");
  const std::string memo = m_cover.memo("COVER");

  // Clone: "[clone]" + description, the same text; accepting adds a record.
  onNextModal([&](QDialog* d) {
    auto* editor = static_cast<TCoverEditor*>(d);
    EXPECT_TRUE(editor->CoverDescription->text().startsWith(QStringLiteral("[clone]Fax cover")));
    EXPECT_EQ(editor->RichCover->SaveToRtf(), memo);
    editor->CoverDescription->setText(QStringLiteral("Second"));
    QTest::mouseClick(editor->OKbutton, Qt::LeftButton);
  });
  QTest::mouseClick(browse.CloneButton, Qt::LeftButton);
  EXPECT_EQ(m_cover.queryRecCount(), 2);
  EXPECT_FALSE(browse.CloneFlag());

  // A cancelled clone adds nothing and the next New is a plain New.
  onNextModal([](QDialog* d) {
    QTest::mouseClick(static_cast<TCoverEditor*>(d)->CancelButton, Qt::LeftButton);
  });
  QTest::mouseClick(browse.CloneButton, Qt::LeftButton);
  EXPECT_EQ(m_cover.queryRecCount(), 2);
  onNextModal([](QDialog* d) {
    auto* editor = static_cast<TCoverEditor*>(d);
    EXPECT_EQ(editor->CoverDescription->text(), QStringLiteral("{description}"));
    EXPECT_TRUE(editor->RichCover->IsEmpty());
    QTest::mouseClick(editor->CancelButton, Qt::LeftButton);
  });
  QTest::mouseClick(browse.NewButton, Qt::LeftButton);
  EXPECT_EQ(m_cover.queryRecCount(), 2);

  // Edit the selected template; then delete it after a No.
  browse.CoverGrid->setCurrentIndex(browse.CoverGrid->model()->index(1, 0));
  const QString chosen = browse.CoverGrid->currentIndex().data().toString();
  onNextModal([&](QDialog* d) {
    auto* editor = static_cast<TCoverEditor*>(d);
    EXPECT_EQ(editor->CoverDescription->text(), chosen);
    editor->CoverDescription->setText(QStringLiteral("Edited"));
    QTest::mouseClick(editor->OKbutton, Qt::LeftButton);
  });
  QTest::mouseClick(browse.ModifyButton, Qt::LeftButton);
  EXPECT_EQ(m_cover.queryRecCount(), 2);
  browse.CoverGrid->setCurrentIndex(browse.CoverGrid->model()->index(1, 0));
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::No);
  QTest::mouseClick(browse.DeleteButton, Qt::LeftButton);
  EXPECT_TRUE(appwidgets::MessageBoxHook::lastText().startsWith(
      QStringLiteral("Delete the current cover template?:\r")));
  EXPECT_EQ(m_cover.queryRecCount(), 2);
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Yes);
  QTest::mouseClick(browse.DeleteButton, Qt::LeftButton);
  EXPECT_EQ(m_cover.queryRecCount(), 1);
}

TEST_F(CoverBrowseTest, MergeFieldsKeepThroughTableEditorAndLibreOffice) {
  {
    TCoverBrowse browse(m_cover);
    browse.show();
    writeTemplate(QStringLiteral("All fields"));
    QTest::mouseClick(browse.NewButton, Qt::LeftButton);
    ASSERT_EQ(m_cover.queryRecCount(), 1);
    // Reopened in the template editor: the five fields are still fields.
    onNextModal([](QDialog* d) {
      auto* editor = static_cast<TCoverEditor*>(d);
      EXPECT_EQ(fieldTags(*editor->RichCover), (QList<int>{1, 2, 3, 4, 5}));
      EXPECT_TRUE(editor->RichCover->toPlainText().contains(QStringLiteral("[FAX#]")));
      editor->MenuItemClick(QStringLiteral("Nothing"));
      EXPECT_EQ(fieldTags(*editor->RichCover).size(), 5) << "an unknown caption inserts nothing";
      QTest::mouseClick(editor->OKbutton, Qt::LeftButton);
    });
    QTest::mouseClick(browse.ModifyButton, Qt::LeftButton);
  }
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  if (soffice.isEmpty())
    GTEST_SKIP() << "LibreOffice is not installed";
  const QString rtf = dir() + QStringLiteral("template.rtf");
  ASSERT_TRUE(m_cover.memoToFile("COVER", rtf.toStdString()));
  QProcess lo;
  lo.start(soffice, {QStringLiteral("-env:UserInstallation=file://" TOLVANE_BINARY_DIR
                                    "/compose-lo-profile"),
                     "--headless", "--convert-to", "fodt", rtf, "--outdir", dir()});
  ASSERT_TRUE(lo.waitForFinished(120000));
  QFile fodt(dir() + QStringLiteral("template.fodt"));
  ASSERT_TRUE(fodt.open(QIODevice::ReadOnly)) << "LibreOffice wrote nothing";
  const QString xml = QString::fromUtf8(fodt.readAll());
  // LibreOffice reads each as a field (not as plain text) under its name.
  for (int tag = 1; tag <= 5; ++tag) {
    const QString field =
        QStringLiteral("text:column-name=\"%1\">%2</text:database-display>")
            .arg(richtext::mergeFieldName(tag), richtext::mergeFieldDisplayText(tag));
    EXPECT_TRUE(xml.contains(field)) << field.toStdString();
  }
}
