// Documents written by our RTF writer, opened by LibreOffice: the text and
// the formatting it reports must be what we wrote.
#include "TestDocs.h"
#include "richtext/RichEditor.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace richtext;
using namespace richtext::test;

namespace {

// Converts a file with headless LibreOffice; returns the output path or "".
QString convert(const QString& file, const QString& format, const QString& ext,
                const QString& outDir) {
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  QProcess p;
  const QString profile = QStringLiteral("file://" TOLVANE_BINARY_DIR "/richtext-lo-profile");
  p.start(soffice, {QStringLiteral("-env:UserInstallation=") + profile, "--headless",
                    "--convert-to", format, file, "--outdir", outDir});
  if (!p.waitForFinished(90000))
    return {};
  const QString out = outDir + QStringLiteral("/letter.") + ext;
  return QFile::exists(out) ? out : QString();
}

struct Span {
  QString text;
  QMap<QString, QString> para; // paragraph properties of its paragraph
  QMap<QString, QString> chars;
};

// The spans of a flat ODF text document with their automatic-style properties.
QList<Span> readFlatOdt(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  QXmlStreamReader xml(&f);
  QMap<QString, QMap<QString, QString>> styles;
  QString styleName;
  QList<Span> spans;
  QMap<QString, QString> para;
  int spanDepth = 0;
  while (!xml.atEnd()) {
    xml.readNext();
    const QString name = xml.name().toString();
    if (xml.isStartElement()) {
      const auto attrs = xml.attributes();
      if (name == "style") {
        styleName = attrs.value("style:name").toString();
      } else if (name == "paragraph-properties" || name == "text-properties") {
        for (const auto& a : attrs)
          styles[styleName][a.name().toString()] = a.value().toString();
      } else if (name == "p" || name == "h") {
        para = styles.value(attrs.value("text:style-name").toString());
        spans.append({QString(), para, {}});
      } else if (name == "span") {
        ++spanDepth;
        spans.append({QString(), para, styles.value(attrs.value("text:style-name").toString())});
      }
    } else if (xml.isEndElement() && name == "span") {
      --spanDepth;
    } else if (xml.isCharacters() && !spans.isEmpty() && (spanDepth > 0 || !para.isEmpty())) {
      spans.last().text += xml.text();
    }
  }
  return spans;
}

Span spanWith(const QList<Span>& spans, const QString& text) {
  for (const Span& s : spans)
    if (s.text.contains(text))
      return s;
  ADD_FAILURE() << "no span with " << text.toStdString();
  return {};
}

void buildLetter(TRichEditor& ed) {
  ed.SetCurrentAttributes({QStringLiteral("DejaVu Serif"), 12, false, false, false});
  ed.setAlignment(Qt::AlignHCenter);
  ed.insertPlainText("Centred ");
  ed.SetCurrentAttributes({QStringLiteral("DejaVu Serif"), 12, true, false, false});
  ed.insertPlainText("bold");
  ed.SetCurrentAttributes({QStringLiteral("DejaVu Serif"), 12, false, true, false});
  ed.insertPlainText("italic");
  ed.SetCurrentAttributes({QStringLiteral("DejaVu Serif"), 12, false, false, true});
  ed.insertPlainText("under");
  ed.SetCurrentAttributes({QStringLiteral("DejaVu Sans Mono"), 10, false, false, false});
  ed.textCursor().insertBlock();
  ed.setAlignment(Qt::AlignLeft);
  ed.SetLeftIndent(1440);
  ed.SetFirstIndent(1080);
  ed.insertPlainText(QString::fromUtf8("indented mono café €"));
  ed.textCursor().insertBlock();
  ed.SetLeftIndent(0);
  ed.SetFirstIndent(0);
  ed.setAlignment(Qt::AlignRight);
  ed.insertPlainText("page two ");
  ed.InsertMergeField(1, QStringLiteral("[RECIPIENT]"));
  ed.moveCursor(QTextCursor::StartOfBlock);
  ed.InsertPageBreak();
  ed.moveCursor(QTextCursor::End);
  ed.textCursor().insertBlock();
  ed.setAlignment(Qt::AlignJustify);
  ed.insertPlainText("page three");
  ed.moveCursor(QTextCursor::StartOfBlock);
  ed.InsertPageBreak();
}

} // namespace

TEST(LibreOffice, OpensOurRtfWithTextFormattingAndPages) {
  if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
    GTEST_SKIP() << "LibreOffice is not installed";
  const QString dir = scratchDir("libreoffice");
  TRichEditor ed;
  buildLetter(ed);
  const QString rtf = dir + QStringLiteral("/letter.rtf");
  ASSERT_TRUE(ed.SaveToFile(rtf));

  const QString txt = convert(rtf, QStringLiteral("txt:Text (encoded):UTF8"), "txt", dir);
  ASSERT_FALSE(txt.isEmpty());
  QString text = QString::fromUtf8(readFile(txt));
  text.remove(QChar(0xFEFF));
  // Our empty page-break paragraphs are empty lines in LibreOffice too.
  EXPECT_EQ(text.trimmed().toStdString(), ed.Lines().join('\n').trimmed().toStdString());

  const QString fodt = convert(rtf, QStringLiteral("fodt"), "fodt", dir);
  ASSERT_FALSE(fodt.isEmpty());
  const QList<Span> spans = readFlatOdt(fodt);
  EXPECT_EQ(spanWith(spans, "Centred").para.value("text-align"), "center");
  EXPECT_EQ(spanWith(spans, "Centred").chars.value("font-name"), "DejaVu Serif");
  EXPECT_EQ(spanWith(spans, "Centred").chars.value("font-size"), "12pt");
  EXPECT_EQ(spanWith(spans, "bold").chars.value("font-weight"), "bold");
  EXPECT_EQ(spanWith(spans, "italic").chars.value("font-style"), "italic");
  EXPECT_EQ(spanWith(spans, "under").chars.value("text-underline-style"), "solid");
  const Span mono = spanWith(spans, "indented mono");
  EXPECT_EQ(mono.chars.value("font-name"), "DejaVu Sans Mono");
  EXPECT_EQ(mono.chars.value("font-size"), "10pt");
  EXPECT_EQ(mono.para.value("margin-left"), "1in");
  EXPECT_EQ(mono.para.value("text-indent"), "-0.25in");
  EXPECT_EQ(spanWith(spans, "page two").para.value("text-align"), "end");
  EXPECT_EQ(spanWith(spans, "page three").para.value("text-align"), "justify");
  EXPECT_TRUE(spanWith(spans, "[RECIPIENT]").text.contains("[RECIPIENT]"));
  int breaks = 0;
  for (const Span& s : spans)
    breaks += s.chars.isEmpty() && s.para.value("break-before") == "page";
  EXPECT_EQ(breaks, 2);

  const QString pdf = convert(rtf, QStringLiteral("pdf"), "pdf", dir);
  ASSERT_FALSE(pdf.isEmpty());
  const QString raw = QString::fromLatin1(readFile(pdf));
  EXPECT_EQ(raw.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))), 3);
}
