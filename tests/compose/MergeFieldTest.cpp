// A cover template loaded into a fax: its merge fields take the recipient,
// number, subject, today's date and the time once, at loading, and the cover
// stored with the fax renders those texts.
#include "richtext/MergeField.h"
#include "ComposeSupport.h"
#include "core/FaxTables.h"
#include "compose/FaxFileCreation.h"
#include "compose/RichTextMemo.h"
#include "compose/TCoverBrowse.h"
#include "compose/TFaxEditor.h"
#include "faximage/FaxConverter.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>

using namespace composetest;

namespace {

class MergeFieldTest : public DataDirTest {
protected:
  // A template with a label and a field per line, stored in the Cover table.
  void SetUp() override {
    DataDirTest::SetUp();
    xbase::Table cover;
    ASSERT_TRUE(app::OpenCoverDBF(cover));
    const std::string rtf = rtfOf([](richtext::TRichEditor& ed) {
      ed.document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 14));
      const char* labels[] = {"To: ", "Fax: ", "Re: ", "Date: ", "Time: "};
      for (int tag = 1; tag <= 5; ++tag) {
        ed.insertPlainText(QString::fromLatin1(labels[tag - 1]));
        ed.InsertMergeField(tag, richtext::mergeFieldDisplayText(tag));
        if (tag < 5)
          ed.textCursor().insertBlock();
      }
    });
    cover.append();
    cover.setField("DESCRIPT", "Five fields");
    cover.setMemo("COVER", rtf);
    cover.post();
    cover.close();
  }

  // Loads the template through the editor's button as a user does.
  void loadTemplate(compose::TFaxEditor& editor) {
    onNextModal([](QDialog* d) {
      auto* browse = qobject_cast<compose::TCoverBrowse*>(d);
      ASSERT_NE(browse, nullptr);
      EXPECT_TRUE(browse->Acceptbutton->isVisible());
      EXPECT_FALSE(browse->CloseButton->isVisible());
      QTest::mouseClick(browse->Acceptbutton, Qt::LeftButton);
    });
    QTest::mouseClick(editor.CoverButton, Qt::LeftButton);
    editor.LoadCoverButton->trigger();
  }
};

} // namespace

TEST_F(MergeFieldTest, FieldsTakeTheRecipientDataAndTodayOnceAtLoading) {
  compose::TFaxEditor editor;
  editor.show();
  QTest::keyClicks(editor.Recipient, QStringLiteral("Alice Example"));
  QTest::keyClicks(editor.FaxNumber, QStringLiteral("+1 555 0100"));
  QTest::keyClicks(editor.Subject, QStringLiteral("Quarterly figures"));
  const QDate today = QDate::currentDate();
  loadTemplate(editor);
  const QStringList lines = editor.RichCover->Lines();
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], QStringLiteral("To: Alice Example"));
  EXPECT_EQ(lines[1], QStringLiteral("Fax: +1 555 0100"));
  EXPECT_EQ(lines[2], QStringLiteral("Re: Quarterly figures"));
  EXPECT_EQ(lines[3],
            QStringLiteral("Date: ") + QLocale::system().toString(today, QLocale::ShortFormat));
  const QTime time = QLocale::system().toTime(
      lines[4].mid(6), QLocale::system().timeFormat(QLocale::LongFormat).remove('t').trimmed());
  ASSERT_TRUE(time.isValid()) << lines[4].toStdString();
  EXPECT_LE(std::abs(time.secsTo(QTime::currentTime())), 5);
  EXPECT_TRUE(editor.RichCover->HideFieldMarkers());

  // Later changes of the recipient do not reach the loaded cover.
  editor.Recipient->setText(QStringLiteral("Bob"));
  EXPECT_EQ(editor.RichCover->Lines()[0], QStringLiteral("To: Alice Example"));

  // Stored with the fax and rendered by fax-file creation, the cover shows
  // the same as the same text typed plainly.
  xbase::Table sent;
  ASSERT_TRUE(app::OpenFaxDBF(sent));
  appendSentFax(sent, editor.RichCover->SaveToRtf(), std::string());
  richtext::TRichEditor hiddenCover, hiddenDoc;
  faximage::TFxFaxConverter converter;
  int pages = 0;
  const QString fax = compose::CreateFaxFile({sent, hiddenCover, hiddenDoc, converter}, pages);
  ASSERT_EQ(pages, 1);
  EXPECT_EQ(hiddenCover.Lines(), lines);
  const faximage::PageBitmap rendered = decodeWithUnpacker(fax, 1);
  keepPng(rendered, QStringLiteral("merged-cover.png"));
  QFile::remove(fax);
  appendSentFax(sent, rtfOf([&](richtext::TRichEditor& ed) {
                  ed.document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 14));
                  ed.setPlainText(lines.join('\n'));
                }),
                std::string());
  const QString plain = compose::CreateFaxFile({sent, hiddenCover, hiddenDoc, converter}, pages);
  EXPECT_TRUE(decodeWithUnpacker(plain, 1) == rendered) << "merged text renders like typed text";
  QFile::remove(plain);
  sent.close();
}

TEST_F(MergeFieldTest, EmptyFieldsGiveEmptyTextsAndLongOnesAreCut) {
  compose::TFaxEditor editor;
  editor.show();
  loadTemplate(editor);
  const QStringList lines = editor.RichCover->Lines();
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], QStringLiteral("To: "));
  EXPECT_EQ(lines[1], QStringLiteral("Fax: "));
  EXPECT_EQ(lines[2], QStringLiteral("Re: "));
  EXPECT_GT(lines[3].size(), 8) << "the date still comes";
  EXPECT_GT(lines[4].size(), 8) << "the time still comes";

  // The callback cuts at 100 characters and knows only tags 1 to 5.
  editor.Recipient->setMaxLength(200);
  editor.Recipient->setText(QString(120, QLatin1Char('a')));
  EXPECT_EQ(editor.RichCoverGetTextToInsert(1)->size(), 100);
  EXPECT_FALSE(editor.RichCoverGetTextToInsert(6).has_value());
  EXPECT_FALSE(editor.RichCoverGetTextToInsert(0).has_value());
}
