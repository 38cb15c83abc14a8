#include "richtext/RtfWriter.h"
#include "TestDocs.h"
#include "richtext/MergeField.h"
#include "richtext/RtfReader.h"
#include "richtext/Units.h"

#include <QDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace richtext;
using namespace richtext::test;

namespace {

const char* const kRichSample =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 DejaVu Serif;}{\\f1 DejaVu Sans Mono;}}"
    "{\\colortbl;\\red0\\green0\\blue255;}"
    "\\pard\\qc\\li1440\\ri720\\fi-360\\sb120\\sa240\\sl-480\\slmult0\\tx2880 "
    "plain {\\b bold}{\\i\\fs36 big}{\\ul under}{\\f1\\cf1 blue}\\tab tabbed\\par"
    "\\pard\\qr\\pagebb right\\line next\\par\\pard\\qj\\sl360\\slmult1 justified\\par"
    "\\pard\\sl300\\slmult0 {\\fs16 \\par}at least\\par}";

// Everything the writer is meant to keep, as text.
std::string describe(const QTextDocument& doc) {
  std::string out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    const QTextBlockFormat f = b.blockFormat();
    out += "P a" + std::to_string(int(f.alignment())) + " l" +
           std::to_string(unitsToTwips(f.leftMargin())) + " r" +
           std::to_string(unitsToTwips(f.rightMargin())) + " i" +
           std::to_string(unitsToTwips(f.textIndent())) + " b" +
           std::to_string(unitsToTwips(f.topMargin())) + " a" +
           std::to_string(unitsToTwips(f.bottomMargin())) + " h" +
           std::to_string(f.lineHeightType()) + "/" + std::to_string(int(f.lineHeight())) + " p" +
           std::to_string(int(f.pageBreakPolicy())) + " t" +
           std::to_string(f.tabPositions().size()) + " s" +
           std::to_string(int(b.charFormat().fontPointSize())) + "\n";
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat c = it.fragment().charFormat();
      out += "  [" + it.fragment().text().toStdString() + "] " +
             c.fontFamilies().toStringList().join(',').toStdString() + " " +
             std::to_string(c.fontPointSize()) + (c.fontWeight() > QFont::Normal ? " B" : "") +
             (c.fontItalic() ? " I" : "") + (c.fontUnderline() ? " U" : "") +
             (c.hasProperty(QTextFormat::ForegroundBrush)
                  ? " " + c.foreground().color().name().toStdString()
                  : "") +
             " tag" + std::to_string(c.intProperty(kMergeTagProperty)) + "\n";
    }
  }
  return out;
}

std::string roundTrip(const std::string& rtf, QTextDocument& doc) {
  readRtf(rtf, doc);
  return writeRtf(doc, TPageLayout{});
}

} // namespace

TEST(RtfWriter, WriteReadWriteIsStable) {
  for (const std::string& source : {std::string(kRichSample), readFile(dataPath("lo-letter.rtf")),
                                    readFile(dataPath("lo-breaks.rtf"))}) {
    QTextDocument first, second;
    const std::string a = roundTrip(source, first);
    const std::string b = roundTrip(a, second);
    EXPECT_EQ(a, b);
    EXPECT_EQ(describe(first), describe(second));
    EXPECT_EQ(first.toRawText(), second.toRawText());
  }
}

TEST(RtfWriter, KeepsFormattingThroughItsOwnReader) {
  QTextDocument doc;
  const std::string rtf = roundTrip(kRichSample, doc);
  QTextDocument back;
  TPageLayout layout;
  readRtf(writeRtf(doc, TPageLayout{11906, 16838, 1134, 567, 850, 851}), back, &layout);
  EXPECT_EQ(layout, (TPageLayout{11906, 16838, 1134, 567, 850, 851}));
  EXPECT_EQ(describe(back), describe(doc));
  // The values themselves, not only their stability.
  const std::string d = describe(back);
  EXPECT_NE(d.find("P a4 l1440 r720 i-360 b120 a240 h2/32 p0 t1"), std::string::npos) << d;
  EXPECT_NE(d.find("[bold] DejaVu Serif 12.000000 B tag0"), std::string::npos) << d;
  EXPECT_NE(d.find("[big] DejaVu Serif 18.000000 I tag0"), std::string::npos) << d;
  EXPECT_NE(d.find("[blue] DejaVu Sans Mono 12.000000 #0000ff"), std::string::npos) << d;
  EXPECT_NE(d.find("P a2 l0 r0 i0 b0 a0 h0/0 p1"), std::string::npos) << d;
  EXPECT_NE(d.find("P a8 l0 r0 i0 b0 a0 h1/150"), std::string::npos) << d;
  EXPECT_NE(d.find("h3/20 p0 t0 s8"), std::string::npos) << d; // empty line keeps its 8 points
}

TEST(RtfWriter, WritesWindows1252TextWithEscapes) {
  QTextDocument doc;
  QTextCursor c(&doc);
  c.insertText(QString::fromUtf8("café €5 {braces} back\\slash\tΩmega ") +
               QChar(QChar::LineSeparator) + QString::fromUtf8("“end”"));
  const std::string rtf = writeRtf(doc, TPageLayout{});
  for (char ch : rtf)
    ASSERT_TRUE(static_cast<unsigned char>(ch) < 128);
  for (const char* piece : {"caf\\'e9 \\'805 \\{braces\\} back\\\\slash\\tab \\u937?mega",
                            "\\line \\'93end\\'94", "\\ansicpg1252"})
    EXPECT_NE(rtf.find(piece), std::string::npos) << piece << "\n" << rtf;
  QTextDocument back;
  readRtf(rtf, back);
  EXPECT_EQ(back.toRawText(), doc.toRawText());
}

TEST(RtfWriter, MergeFieldsSurviveSaveAndLoad) {
  QTextDocument doc;
  QTextCursor c(&doc);
  c.insertText("To: ");
  insertMergeField(c, 1, "[RECIPIENT]");
  insertMergeField(c, 1, "[RECIPIENT]");
  c.insertText(" Fax ");
  insertMergeField(c, 2, "[FAX#]");
  c.insertBlock();
  insertMergeField(c, 4, "[DATE]");
  insertMergeField(c, 5, "[TIME]");
  insertMergeField(c, 3, "[SUBJECT]");
  const std::string rtf = writeRtf(doc, TPageLayout{});
  EXPECT_NE(rtf.find("{\\field{\\*\\fldinst { MERGEFIELD FAXNUMBER }}{\\fldrslt "),
            std::string::npos);
  QTextDocument back;
  readRtf(rtf, back);
  EXPECT_EQ(back.toPlainText(), doc.toPlainText());
  const auto before = findMergeFields(doc);
  const auto after = findMergeFields(back);
  ASSERT_EQ(after.size(), 6);
  for (qsizetype i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].tag, before[i].tag);
    EXPECT_EQ(after[i].start, before[i].start);
    EXPECT_EQ(after[i].length, before[i].length);
  }
}

TEST(RtfWriter, FuzzFindingsReadBackUnchanged) {
  const QDir dir(dataPath("fuzz-regressions"));
  const QStringList files = dir.entryList(QDir::Files);
  ASSERT_FALSE(files.isEmpty());
  for (const QString& name : files) {
    QTextDocument first, second;
    const std::string a = roundTrip(readFile(dir.filePath(name)), first);
    EXPECT_EQ(roundTrip(a, second), a) << name.toStdString();
  }
}
