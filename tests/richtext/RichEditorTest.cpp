#include "richtext/RichEditor.h"
#include "TestDocs.h"
#include "richtext/MergeField.h"
#include "richtext/RichToolBar.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

using namespace richtext;
using namespace richtext::test;

TEST(RichEditor, ReportsContentAndLoadsFiles) {
  TRichEditor ed;
  EXPECT_TRUE(ed.IsEmpty());
  EXPECT_EQ(ed.TextLength(), 0);
  ed.LoadFromRtf("{\\rtf1 first\\line second\\par    \\par third}");
  EXPECT_FALSE(ed.IsEmpty());
  EXPECT_EQ(ed.Lines(), (QStringList{"first", "second", "   ", "third"}));
  EXPECT_EQ(ed.TextLength(), 22);
  const QString dir = scratchDir("editor-files");
  ASSERT_TRUE(ed.SaveToFile(dir + "/a.rtf"));
  TRichEditor other;
  ASSERT_TRUE(other.LoadFromFile(dir + "/a.rtf"));
  EXPECT_EQ(other.Lines(), ed.Lines());
  EXPECT_FALSE(other.LoadFromFile(dir + "/missing.rtf"));
  // A file that is not RTF shows as its text (Windows-1252 bytes).
  QFile plain(dir + "/plain.txt");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.write("just text\n");
  plain.close();
  ASSERT_TRUE(other.LoadFromFile(dir + "/plain.txt"));
  EXPECT_EQ(other.Lines().first(), "just text");
  other.Clear();
  EXPECT_TRUE(other.IsEmpty());
}

TEST(RichEditor, CharacterAttributesAndDefaultFont) {
  TRichEditor ed;
  ed.SetCurrentAttributes({"DejaVu Sans", 14, true, false, true});
  const TCharAttributes a = ed.CurrentAttributes();
  EXPECT_EQ(a.fontName, "DejaVu Sans");
  EXPECT_DOUBLE_EQ(a.size, 14);
  EXPECT_TRUE(a.bold);
  EXPECT_FALSE(a.italic);
  EXPECT_TRUE(a.underline);
  ed.insertPlainText("typed");
  const std::string rtf = ed.SaveToRtf();
  EXPECT_NE(rtf.find("\\fs28\\b\\ul typed"), std::string::npos) << rtf;
}

TEST(RichEditor, ParagraphIndentsAndSpacingInTwips) {
  TRichEditor ed;
  ed.insertPlainText("paragraph");
  ed.SetSpaceBefore(240);
  ed.SetLineHeight(360);
  ed.SetSpaceAfter(120);
  ed.SetFirstIndent(720); // first line indented by half an inch ...
  ed.SetLeftIndent(1440); // ... stays there when the left indent moves
  ed.SetRightIndent(567);
  TParagraphProps p = ed.ParagraphProps();
  EXPECT_EQ(p.firstIndent, 720);
  EXPECT_EQ(p.leftIndent, 1440);
  EXPECT_EQ(p.rightIndent, 567);
  EXPECT_EQ(p.spaceBefore, 240);
  EXPECT_EQ(p.spaceAfter, 120);
  EXPECT_EQ(p.lineHeight, 360);
  // They are stored with the document.
  TRichEditor back;
  back.LoadFromRtf(ed.SaveToRtf());
  p = back.ParagraphProps();
  EXPECT_EQ(p.firstIndent, 720);
  EXPECT_EQ(p.leftIndent, 1440);
  EXPECT_EQ(p.lineHeight, 360);
  ed.SetLineHeight(0);
  EXPECT_EQ(ed.ParagraphProps().lineHeight, 0);
}

TEST(RichEditor, PageBreakInsertsAnEmptyParagraphStartingANewPage) {
  TRichEditor ed;
  ed.LoadFromRtf("{\\rtf1 one\\par {\\b two words}\\par three}");
  QTextCursor c = ed.textCursor();
  c.setPosition(ed.document()->find("words").selectionStart());
  ed.setTextCursor(c);
  ed.InsertPageBreak();
  ASSERT_EQ(ed.document()->blockCount(), 4);
  const QTextBlock inserted = ed.document()->findBlockByNumber(1);
  EXPECT_TRUE(inserted.text().isEmpty());
  EXPECT_EQ(inserted.blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
  EXPECT_EQ(inserted.charFormat().fontWeight(), QFont::Bold); // caret's attributes
  EXPECT_EQ(ed.document()->findBlockByNumber(2).text(), "two words");
  EXPECT_EQ(ed.document()->findBlockByNumber(2).blockFormat().pageBreakPolicy(),
            QTextFormat::PageBreak_Auto);
}

TEST(RichEditor, MergeFieldsAreFilledInTextOrder) {
  TRichEditor ed;
  ed.insertPlainText("To ");
  ed.InsertMergeField(1, "[RECIPIENT]");
  ed.insertPlainText(" at ");
  ed.InsertMergeField(2, "[FAX#]");
  ed.insertPlainText(" on ");
  ed.InsertMergeField(4, "[DATE]");
  ed.InsertMergeField(7, "[OTHER]");
  ed.insertPlainText(", re ");
  ed.InsertMergeField(3, "[SUBJECT]");
  ed.insertPlainText(" and more");
  // Typing after a field does not lengthen it.
  EXPECT_EQ(findMergeFields(*ed.document()).last().length, 9);
  TRichEditor loaded; // the fields as they come from a stored template
  loaded.LoadFromRtf(ed.SaveToRtf());
  QList<int> asked;
  loaded.OnGetTextToInsert = [&](int tag) -> std::optional<QString> {
    asked.append(tag);
    if (tag == 1)
      return QString(120, QLatin1Char('R'));
    if (tag == 2)
      return QString();
    if (tag == 3 || tag == 4)
      return QStringLiteral("T%1").arg(tag);
    return std::nullopt;
  };
  loaded.FillMergeFields();
  EXPECT_EQ(asked, (QList<int>{1, 2, 4, 7, 3}));
  EXPECT_EQ(loaded.Lines().first(),
            "To " + QString(100, QLatin1Char('R')) + " at  on T4[OTHER], re T3 and more");
  loaded.SetHideFieldMarkers(true);
  EXPECT_TRUE(loaded.HideFieldMarkers());
  EXPECT_NE(loaded.SaveToRtf().find("MERGEFIELD SUBJECT"), std::string::npos);
}

TEST(RichEditor, WordIterationMarksAndReplacesWords) {
  TRichEditor ed;
  ed.LoadFromRtf("{\\rtf1 Helo {\\b wrld}, JOHN'S 1999 co-op\\par teh end}");
  ed.StartWordIteration();
  QStringList words;
  for (QString w = ed.NextWord(); !w.isEmpty(); w = ed.NextWord())
    words.append(w);
  EXPECT_EQ(words, (QStringList{"Helo", "wrld", "JOHN'S", "co-op", "teh", "end"}));

  ed.StartWordIteration();
  EXPECT_EQ(ed.NextWord(), "Helo");
  ed.MarkCurrentWord();
  EXPECT_EQ(ed.textCursor().selectedText(), "Helo");
  ed.ReplaceMarkedWord("Hello");
  EXPECT_EQ(ed.NextWord(), "wrld");
  ed.MarkCurrentWord();
  ed.ReplaceMarkedWord("world");
  EXPECT_EQ(ed.NextWord(), "JOHN'S");
  ed.ReplaceMarkedWord("ignored"); // nothing is marked
  ed.NextWord();
  EXPECT_EQ(ed.NextWord(), "teh");
  ed.MarkCurrentWord();
  ed.ReplaceMarkedWord("the");
  EXPECT_EQ(ed.NextWord(), "end");
  EXPECT_EQ(ed.NextWord(), "");
  EXPECT_EQ(ed.Lines(), (QStringList{"Hello world, JOHN'S 1999 co-op", "the end"}));
  EXPECT_EQ(ed.document()->find("world").charFormat().fontWeight(), QFont::Bold);
  ed.ClearWordMarking();
  EXPECT_FALSE(ed.textCursor().hasSelection());
}

TEST(RichEditor, ZoomScalesTheViewNotTheDocument) {
  TRichEditor ed;
  ed.resize(600, 400);
  ed.SetWordWrap(false);
  EXPECT_FALSE(ed.WordWrap());
  ed.LoadFromRtf("{\\rtf1\\fs24 some text on a line\\par}");
  const std::string before = ed.SaveToRtf();
  const double width100 = ed.document()->documentLayout()->documentSize().width();
  ed.SetZoom(200);
  EXPECT_EQ(ed.Zoom(), 200);
  const double width200 = ed.document()->documentLayout()->documentSize().width();
  EXPECT_NEAR(width200 / width100, 2.0, 0.25);
  EXPECT_EQ(ed.SaveToRtf(), before);
  ed.SetZoom(70);
  EXPECT_LT(ed.document()->documentLayout()->documentSize().width(), width100);
}

TEST(RichEditor, ToolbarDrivesTheEditor) {
  TRichEditor ed;
  TRichToolBar bar(&ed);
  EXPECT_EQ(bar.FontSize->itemText(0), "8");
  ed.insertPlainText("word");
  ed.selectAll();
  bar.Bold->trigger();
  bar.Italic->trigger();
  bar.AlignCenter->trigger();
  EXPECT_EQ(ed.document()->find("word").charFormat().fontWeight(), QFont::Bold);
  EXPECT_TRUE(ed.document()->find("word").charFormat().fontItalic());
  EXPECT_EQ(ed.document()->begin().blockFormat().alignment(), Qt::AlignHCenter);
  bar.FontSize->textActivated("20");
  EXPECT_DOUBLE_EQ(ed.document()->find("word").charFormat().fontPointSize(), 20);
  bar.FontSize->textActivated("6"); // below the smallest size: ignored
  EXPECT_DOUBLE_EQ(ed.document()->find("word").charFormat().fontPointSize(), 20);
  bar.Normal->trigger();
  EXPECT_EQ(ed.document()->find("word").charFormat().fontWeight(), QFont::Normal);
  QSignalSpy spy(&ed, &TRichEditor::StartSpellCheck);
  bar.SpellCheck->trigger();
  EXPECT_EQ(spy.count(), 1);
}

// A black-and-white page picture shown at half its size: stripes one pixel
// wide become grey on the screen, instead of every other stripe vanishing
// (which is what breaks up thin strokes of a page's text).
TEST(RichEditor, PicturesShownSmallerAreSmoothedNotSampled) {
  TRichEditor editor;
  editor.resize(400, 300);
  QImage stripes(200, 100, QImage::Format_Mono);
  for (int y = 0; y < stripes.height(); ++y)
    for (int x = 0; x < stripes.width(); ++x)
      stripes.setPixel(x, y, x % 2);
  editor.document()->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("stripes")),
                                 stripes);
  QTextImageFormat picture;
  picture.setName(QStringLiteral("stripes"));
  picture.setWidth(100);
  picture.setHeight(50);
  editor.textCursor().insertImage(picture);
  editor.show();
  const QImage shown = editor.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  // The picture sits at the top left, inside the document margin.
  int grey = 0, blackOrWhite = 0;
  for (int y = 15; y < 40; ++y)
    for (int x = 15; x < 80; ++x) {
      const int v = qGray(shown.pixel(x, y));
      (v > 40 && v < 215 ? grey : blackOrWhite)++;
    }
  EXPECT_GT(grey, 10 * blackOrWhite) << grey << " grey, " << blackOrWhite << " black or white";
}
