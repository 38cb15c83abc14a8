// The fax editor driven as a user drives it: texts typed, pages switched,
// zoom, word wrap and page breaks from the toolbars, and a New / Edit round
// trip through the Sent table as the main window stores it.
#include "ComposeSupport.h"
#include "core/FaxTables.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "compose/RichTextMemo.h"
#include "compose/TFaxEditor.h"
#include "richtext/RichEditor.h"
#include "richtext/RichToolBar.h"
#include "xbase/Table.h"

#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextBlock>

using namespace composetest;
using compose::TFaxEditor;

namespace {

class FaxEditorTest : public DataDirTest {
protected:
  void SetUp() override {
    DataDirTest::SetUp();
    ASSERT_TRUE(app::OpenFaxDBF(m_sent));
  }
  void TearDown() override {
    m_sent.close();
    DataDirTest::TearDown();
  }
  // What the main window does with an editor closed by OK.
  void store(TFaxEditor& ed) {
    compose::SaveRichText(*ed.RichCover, m_sent, "RTFCOVER");
    compose::SaveRichText(*ed.RichDoc, m_sent, "RTFDOC");
    m_sent.setField("RECIPIENT", appwidgets::ToAnsi(ed.Recipient->text()));
    m_sent.setField("SUBJECT", appwidgets::ToAnsi(ed.Subject->text()));
    m_sent.setField("PHONE", appwidgets::ToAnsi(ed.FaxNumber->text()));
    m_sent.post();
  }
  void fill(TFaxEditor& ed) {
    compose::LoadRichText(*ed.RichCover, m_sent, "RTFCOVER");
    compose::LoadRichText(*ed.RichDoc, m_sent, "RTFDOC");
    ed.Recipient->setText(appwidgets::FromAnsi(m_sent.fieldString("RECIPIENT")));
    ed.Subject->setText(appwidgets::FromAnsi(m_sent.fieldString("SUBJECT")));
    ed.FaxNumber->setText(appwidgets::FromAnsi(m_sent.fieldString("PHONE")));
  }
  xbase::Table m_sent;
};

} // namespace

TEST_F(FaxEditorTest, NewThenEditRoundTripThroughTheSentTable) {
  {
    TFaxEditor ed;
    appwidgets::ApplyDefaultFont(*ed.RichCover);
    appwidgets::ApplyDefaultFont(*ed.RichDoc);
    ed.show();
    QTest::keyClicks(ed.Recipient, QStringLiteral("Bob Builder"));
    QTest::keyClicks(ed.FaxNumber, QStringLiteral("555 0199"));
    QTest::keyClicks(ed.Subject, QStringLiteral("Quote for the shed"));
    QTest::mouseClick(ed.DocumentButton, Qt::LeftButton);
    QTest::keyClicks(ed.RichDoc, QStringLiteral("Dear Bob,"));
    ed.RichToolDoc->Bold->trigger();
    QTest::keyClicks(ed.RichDoc, QStringLiteral(" bold words"));
    QTest::mouseClick(ed.CoverButton, Qt::LeftButton);
    QTest::keyClicks(ed.RichCover, QStringLiteral("Cover page"));
    QTest::mouseClick(ed.OKButton, Qt::LeftButton);
    ASSERT_EQ(ed.result(), 1);
    m_sent.append();
    store(ed);
  }
  const std::string doc = m_sent.memo("RTFDOC");
  const std::string cover = m_sent.memo("RTFCOVER");
  EXPECT_NE(doc.find("bold words"), std::string::npos);
  EXPECT_EQ(m_sent.fieldString("RECIPIENT"), "Bob Builder");
  {
    TFaxEditor ed;
    fill(ed);
    ed.show();
    EXPECT_EQ(ed.RichDoc->toPlainText(), QStringLiteral("Dear Bob, bold words"));
    // The memo read into the editor and written again is the same RTF.
    EXPECT_EQ(ed.RichDoc->SaveToRtf(), doc);
    EXPECT_EQ(ed.RichCover->SaveToRtf(), cover);
    EXPECT_EQ(ed.Subject->text(), QStringLiteral("Quote for the shed"));
    ed.Subject->clear();
    QTest::keyClicks(ed.Subject, QStringLiteral("Revised quote"));
    QTest::mouseClick(ed.OKButton, Qt::LeftButton);
    ASSERT_EQ(ed.result(), 1);
    m_sent.edit();
    store(ed);
  }
  EXPECT_EQ(m_sent.fieldString("SUBJECT"), "Revised quote");
  EXPECT_EQ(m_sent.memo("RTFDOC"), doc);
  {
    TFaxEditor ed;
    fill(ed);
    ed.show();
    QTest::keyClicks(ed.Recipient, QStringLiteral(" changed"));
    QTest::mouseClick(ed.CancelButton, Qt::LeftButton);
    EXPECT_EQ(ed.result(), 2);
  }
  EXPECT_EQ(m_sent.fieldString("RECIPIENT"), "Bob Builder");
}

TEST_F(FaxEditorTest, TextsShowTheirLimitsAndRefuseWhatTheTableCannotHold) {
  TFaxEditor ed;
  ed.show();
  QTest::keyClicks(ed.Recipient, QString(40, QLatin1Char('r')));
  QTest::keyClicks(ed.FaxNumber, QString(30, QLatin1Char('5')));
  QTest::keyClicks(ed.Subject, QString(60, QLatin1Char('s')));
  EXPECT_EQ(ed.Recipient->text().size(), 35);
  EXPECT_EQ(ed.FaxNumber->text().size(), 25);
  EXPECT_EQ(ed.Subject->text().size(), 50);

  // Windows-1252 has the euro sign and accents, not Greek or CJK.
  ed.Recipient->setText(QStringLiteral("Zoë € Ωmega 日本"));
  QTest::mouseClick(ed.DocumentButton, Qt::LeftButton);
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
  QTest::mouseClick(ed.OKButton, Qt::LeftButton);
  EXPECT_TRUE(ed.isVisible());
  EXPECT_NE(ed.result(), 1);
  const QString said = appwidgets::MessageBoxHook::lastText();
  EXPECT_TRUE(said.contains(QStringLiteral("Ω")) && said.contains(QStringLiteral("日")));
  EXPECT_FALSE(said.contains(QStringLiteral("€")));
  EXPECT_EQ(ed.Notebook->currentIndex(), TFaxEditor::RecipientPage);
  ed.Recipient->setText(QStringLiteral("Zoë €"));
  QTest::mouseClick(ed.OKButton, Qt::LeftButton);
  EXPECT_EQ(ed.result(), 1);

  // A new window takes typing into its first box, and Enter moves on to the
  // next box instead of closing the window with an empty document.
  TFaxEditor second;
  second.show();
  QApplication::setActiveWindow(&second);
  for (const char* typed : {"Bob", "5550100", "Invoice"}) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClicks(focus, QString::fromLatin1(typed));
    QTest::keyClick(focus, Qt::Key_Return);
    EXPECT_TRUE(second.isVisible());
    EXPECT_NE(second.result(), 1);
  }
  EXPECT_EQ(second.Recipient->text(), QStringLiteral("Bob"));
  EXPECT_EQ(second.FaxNumber->text(), QStringLiteral("5550100"));
  EXPECT_EQ(second.Subject->text(), QStringLiteral("Invoice"));
  // The document page, when chosen, takes the typing too.
  QTest::mouseClick(second.DocumentButton, Qt::LeftButton);
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Dear Bob"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(second.isVisible());
  EXPECT_TRUE(second.RichDoc->toPlainText().startsWith(QStringLiteral("Dear Bob")));
}

TEST_F(FaxEditorTest, PagesZoomWordWrapAndPageBreaks) {
  TFaxEditor ed;
  ed.show();
  EXPECT_FALSE(ed.Zoombutton->isVisible());
  QTest::mouseClick(ed.DocumentButton, Qt::LeftButton);
  EXPECT_EQ(ed.Notebook->currentIndex(), TFaxEditor::DocumentPage);
  EXPECT_TRUE(ed.Zoombutton->isVisible());
  EXPECT_EQ(ed.Zoombutton->text(), QStringLiteral("100%"));
  ed.ZoomMenu->findChild<QAction*>(QStringLiteral("Zoom70"))->trigger();
  EXPECT_EQ(ed.RichDoc->Zoom(), 70);
  EXPECT_EQ(ed.RichCover->Zoom(), 100);
  EXPECT_EQ(ed.Zoombutton->text(), QStringLiteral("70%"));
  QTest::mouseClick(ed.CoverButton, Qt::LeftButton);
  EXPECT_EQ(ed.Zoombutton->text(), QStringLiteral("100%"));
  QTest::mouseClick(ed.Zoombutton, Qt::LeftButton); // the menu opens with 100% checked
  const auto checked = [&] {
    QStringList names;
    for (QAction* a : ed.ZoomMenu->actions())
      if (a->isChecked())
        names << a->objectName();
    return names.join(',');
  };
  EXPECT_EQ(checked(), QStringLiteral("Zoom100"));
  ed.ZoomMenu->hide();
  ed.RichCover->SetZoom(90);
  QTest::mouseClick(ed.Zoombutton, Qt::LeftButton);
  EXPECT_EQ(checked(), QString()) << "no item for 90%";
  ed.ZoomMenu->hide();
  QTest::mouseClick(ed.RecipientButton, Qt::LeftButton);
  EXPECT_FALSE(ed.Zoombutton->isVisible());

  // Word wrap: the button is down and says "off" exactly while wrap is on.
  QAction* wrap = ed.DocButtons.WordWrap;
  EXPECT_TRUE(ed.RichDoc->WordWrap());
  EXPECT_TRUE(wrap->isChecked());
  wrap->trigger();
  EXPECT_FALSE(ed.RichDoc->WordWrap());
  EXPECT_FALSE(wrap->isChecked());
  EXPECT_EQ(wrap->statusTip(), QStringLiteral("Toggle word wrap on"));
  wrap->trigger();
  EXPECT_TRUE(ed.RichDoc->WordWrap());
  EXPECT_EQ(wrap->statusTip(), QStringLiteral("Toggle word wrap off"));
  EXPECT_TRUE(ed.RichCover->WordWrap()) << "the cover keeps its own wrap";

  // Page break: No changes nothing; Yes starts a new page at the caret.
  QTest::mouseClick(ed.DocumentButton, Qt::LeftButton);
  QTest::keyClicks(ed.RichDoc, QStringLiteral("one"));
  QTest::keyClick(ed.RichDoc, Qt::Key_Return);
  QTest::keyClicks(ed.RichDoc, QStringLiteral("two"));
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::No);
  ed.DocButtons.PageBreak->trigger();
  EXPECT_EQ(appwidgets::MessageBoxHook::lastText(), QStringLiteral("Add a page break here?"));
  EXPECT_EQ(ed.RichDoc->document()->blockCount(), 2);
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Yes);
  ed.DocButtons.PageBreak->trigger();
  const QTextDocument* doc = ed.RichDoc->document();
  ASSERT_EQ(doc->blockCount(), 3);
  int breaks = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
    breaks += b.blockFormat().pageBreakPolicy() == QTextFormat::PageBreak_AlwaysBefore;
  EXPECT_EQ(breaks, 1);
  EXPECT_EQ(doc->toPlainText(), QStringLiteral("one\n\ntwo"));
}

TEST_F(FaxEditorTest, SpellingButtonOpensTheCheckOnThatEditor) {
  TFaxEditor ed;
  ed.show();
  QTest::mouseClick(ed.DocumentButton, Qt::LeftButton);
  QTest::keyClicks(ed.RichDoc, QStringLiteral("Thsi is misspeled"));
  QString opened;
  onNextModal([&](QDialog* d) {
    opened = QString::fromLatin1(d->metaObject()->className());
    d->reject();
  });
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok); // in case the check ends at once
  ed.RichToolDoc->SpellCheck->trigger();
  EXPECT_TRUE(opened.endsWith(QStringLiteral("TSpellCheckDialog"))) << opened.toStdString();
}
