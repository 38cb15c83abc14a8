#include "richtext/RtfReader.h"
#include "TestDocs.h"
#include "richtext/MergeField.h"
#include "richtext/Units.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace richtext;
using namespace richtext::test;

namespace {

QString textOf(const std::string& rtf) {
  QTextDocument doc;
  readRtf(rtf, doc);
  return doc.toRawText().replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
}

QTextCharFormat formatAt(const QTextDocument& doc, const QString& text) {
  const int at = doc.toPlainText().indexOf(text);
  EXPECT_GE(at, 0) << text.toStdString();
  QTextCursor c(const_cast<QTextDocument*>(&doc));
  c.setPosition(at + 1);
  return c.charFormat();
}

QTextBlockFormat blockWith(const QTextDocument& doc, const QString& text) {
  return doc.find(text).block().blockFormat();
}

QString withoutSpaces(QString s) {
  s.remove(QChar(0xFEFF));
  s.remove(QRegularExpression(QStringLiteral("\\s")));
  return s;
}

} // namespace

TEST(RtfReader, DecodesCodePageUnicodeAndSymbols) {
  EXPECT_EQ(textOf("{\\rtf1\\ansi caf\\'e9 \\'80\\'96\\'9c}"), QString::fromUtf8("café €–œ"));
  // \u with its fallback characters skipped, also under \uc2 and \uc0.
  EXPECT_EQ(textOf("{\\rtf1 a\\u8364?b\\uc2\\u8212\\'97\\'97c\\uc0\\u-3913 d}"),
            QString::fromUtf8("a€b—c") + QChar(0xF0B7) + QStringLiteral("d"));
  EXPECT_EQ(textOf("{\\rtf1 \\{x\\}\\\\ a\\tab b\\line c\\~d\\emdash\\bullet\\-e}"),
            QStringLiteral("{x}\\ a\tb") + QChar(QChar::LineSeparator) + QStringLiteral("c") +
                QChar(0xA0) + QStringLiteral("d") + QChar(0x2014) + QChar(0x2022) +
                QStringLiteral("e"));
  // Line ends in the file are not text; a space ends a control word.
  EXPECT_EQ(textOf("{\\rtf1 one\r\ntwo\\par\nthree}"), QStringLiteral("onetwo\nthree"));
  // A final \par closes the last paragraph without adding an empty one.
  QTextDocument doc;
  readRtf("{\\rtf1 a\\par b\\par}", doc);
  EXPECT_EQ(doc.blockCount(), 2);
}

TEST(RtfReader, ReadsCharacterAndParagraphProperties) {
  QTextDocument doc;
  TPageLayout layout;
  readRtf("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss "
          "Arial;}{\\f2 Courier New{\\*\\falt Courier};}}{\\colortbl;\\red255\\green0\\blue0;}"
          "\\paperw11906\\paperh16838\\margl1134\\margr567\\margt850\\margb850 "
          "\\pard\\qc\\li1440\\ri720\\fi-360\\sb120\\sa240\\sl-480\\slmult0 "
          "plain {\\b bold}{\\i\\fs36 big}{\\ul under\\ulnone not}{\\f2\\cf1 red}\\par"
          "\\pard\\qr\\pagebb right\\par\\pard\\qj\\sl360\\slmult1 just\\page after\\plain "
          "\\par}",
          doc, &layout);
  EXPECT_EQ(layout, (TPageLayout{11906, 16838, 1134, 567, 850, 850}));
  EXPECT_EQ(formatAt(doc, "plain").fontFamilies().toStringList(), QStringList{"Arial"});
  EXPECT_DOUBLE_EQ(formatAt(doc, "plain").fontPointSize(), 12.0);
  EXPECT_EQ(formatAt(doc, "bold").fontWeight(), QFont::Bold);
  EXPECT_EQ(formatAt(doc, "big").fontWeight(), QFont::Normal);
  EXPECT_TRUE(formatAt(doc, "big").fontItalic());
  EXPECT_DOUBLE_EQ(formatAt(doc, "big").fontPointSize(), 18.0);
  EXPECT_TRUE(formatAt(doc, "under").fontUnderline());
  EXPECT_FALSE(formatAt(doc, "not").fontUnderline());
  EXPECT_EQ(formatAt(doc, "red").fontFamilies().toStringList(), QStringList{"Courier New"});
  EXPECT_EQ(formatAt(doc, "red").foreground().color(), QColor(255, 0, 0));
  const QTextBlockFormat first = blockWith(doc, "plain");
  EXPECT_EQ(first.alignment(), Qt::AlignHCenter);
  EXPECT_EQ(unitsToTwips(first.leftMargin()), 1440);
  EXPECT_EQ(unitsToTwips(first.rightMargin()), 720);
  EXPECT_EQ(unitsToTwips(first.textIndent()), -360);
  EXPECT_EQ(unitsToTwips(first.topMargin()), 120);
  EXPECT_EQ(unitsToTwips(first.bottomMargin()), 240);
  EXPECT_EQ(first.lineHeightType(), QTextBlockFormat::FixedHeight);
  EXPECT_EQ(unitsToTwips(first.lineHeight()), 480);
  EXPECT_EQ(first.pageBreakPolicy(), QTextFormat::PageBreak_Auto);
  const QTextBlockFormat right = blockWith(doc, "right");
  EXPECT_EQ(right.alignment(), Qt::AlignRight);
  EXPECT_EQ(unitsToTwips(right.leftMargin()), 0); // \pard resets
  EXPECT_EQ(right.pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
  EXPECT_EQ(blockWith(doc, "just").alignment(), Qt::AlignJustify);
  EXPECT_EQ(blockWith(doc, "just").lineHeightType(), QTextBlockFormat::ProportionalHeight);
  EXPECT_DOUBLE_EQ(blockWith(doc, "just").lineHeight(), 150.0);
  EXPECT_EQ(blockWith(doc, "after").pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("plain boldbigundernotred\nright\njust\nafter"));
}

TEST(RtfReader, SkipsWhatItDoesNotShowButKeepsText) {
  const std::string rtf =
      "{\\rtf1{\\*\\generator Some Writer;}{\\info{\\title Secret}{\\author X}}"
      "{\\stylesheet{\\s1 Heading 1;}}{\\*\\unknowndest hidden}{\\header Letterhead\\par}"
      "\\newunknownword42 Body {\\pict\\pngblip\\picw10 89504e47}{\\*\\shppict{\\pict "
      "\\bin4 }}}x}}after{\\object{\\*\\objdata 0102}{\\result shown}}\\par"
      "\\trowd\\cellx1000\\cellx2000\\intbl A1\\cell A2\\cell\\row\\intbl B1\\cell B2\\cell\\row"
      "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} end}";
  // The running header belongs to the page, not to the body text.
  EXPECT_EQ(textOf(rtf).toStdString(), "Body aftershown\nA1\tA2\nB1\tB2\nlink end");
}

TEST(RtfReader, SurvivesMalformedInputQuickly) {
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(textOf("{\\rtf1 a}}}} b{{{ c"), QStringLiteral("a b c"));
  EXPECT_EQ(textOf("{\\rtf1 x\\"), QStringLiteral("x"));
  EXPECT_EQ(textOf("{\\rtf1 \\'4 \\'zz\\u99999999 \\fs-5 \\bin999999999 y"),
            QStringLiteral(" zz") + QChar(QChar::ReplacementCharacter));
  // Deep nesting is bounded: text inside the excess depth is dropped, the
  // rest is read.
  const std::string deep =
      "{\\rtf1 top" + std::string(200000, '{') + "deep" + std::string(200000, '}') + " tail}";
  const QString deepText = textOf(deep);
  EXPECT_TRUE(deepText.startsWith(QStringLiteral("top")));
  EXPECT_TRUE(deepText.endsWith(QStringLiteral(" tail")));
  QTextDocument doc;
  EXPECT_FALSE(readRtf("plain text, not RTF", doc));
  QRandomGenerator rng(7);
  const char alphabet[] = "{}\\\\\\'09afbuc*parpage field fldinst fldrslt MERGEFIELD x ";
  for (int round = 0; round < 200; ++round) {
    std::string junk = "{\\rtf1 ";
    for (int i = 0; i < 2000; ++i)
      junk.push_back(alphabet[rng.bounded(int(sizeof(alphabet) - 1))]);
    readRtf(junk, doc);
  }
  EXPECT_LT(timer.elapsed(), 20000);
}

TEST(RtfReader, ReadsMergeFields) {
  QTextDocument doc;
  readRtf("{\\rtf1 To {\\field{\\*\\fldinst { MERGEFIELD RECIPIENT }}{\\fldrslt {\\b "
          "[RECIPIENT]}}}{\\field{\\*\\fldinst MERGEFIELD RECIPIENT \\\\* MERGEFORMAT}"
          "{\\fldrslt Again}} at {\\field{\\*\\fldinst MERGEFIELD \"FAXNUMBER\"}}"
          " {\\field{\\*\\fldinst MERGEFIELD Unknown}{\\fldrslt plain}}\\par}",
          doc);
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("To [RECIPIENT]Again at [FAX#] plain"));
  const QList<MergeFieldSpan> fields = findMergeFields(doc);
  ASSERT_EQ(fields.size(), 3);
  EXPECT_EQ(fields[0].tag, 1);
  EXPECT_EQ(fields[0].length, 11);
  EXPECT_EQ(fields[1].tag, 1); // same tag right after: still a field of its own
  EXPECT_EQ(fields[1].start, 14);
  EXPECT_EQ(fields[2].tag, 2);
  EXPECT_EQ(formatAt(doc, "[RECIPIENT]").fontWeight(), QFont::Bold);
}

TEST(RtfReader, LibreOfficeDocumentsKeepTheirText) {
  for (const char* name : {"lo-letter", "lo-breaks"}) {
    QTextDocument doc;
    EXPECT_TRUE(readRtf(readFile(dataPath((std::string(name) + ".rtf").c_str())), doc));
    // LibreOffice's own plain-text export of the same file, whitespace aside.
    const QString expected =
        QString::fromUtf8(readFile(dataPath((std::string(name) + ".txt").c_str())));
    EXPECT_EQ(withoutSpaces(doc.toPlainText()).toStdString(), withoutSpaces(expected).toStdString())
        << name;
  }
  QTextDocument doc;
  readRtf(readFile(dataPath("lo-letter.rtf")), doc);
  EXPECT_EQ(formatAt(doc, "Bold text").fontWeight(), QFont::Bold);
  EXPECT_TRUE(formatAt(doc, "italic text").fontItalic());
  EXPECT_TRUE(formatAt(doc, "underlined text").fontUnderline());
  EXPECT_DOUBLE_EQ(formatAt(doc, "Quarterly").fontPointSize(), 24.0);
  EXPECT_EQ(formatAt(doc, "Dear").fontFamilies().toStringList(), QStringList{"DejaVu Serif"});
  EXPECT_EQ(blockWith(doc, "Centred closing").alignment(), Qt::AlignHCenter);
}
