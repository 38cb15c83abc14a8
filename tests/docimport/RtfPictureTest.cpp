// RTF pictures, running headers and footers, Symbol-font bullets.

#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "richtext/Units.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

using namespace richtext;

namespace {

std::string hexOf(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toHex().toStdString();
}

// The images of a document in order: their format and pixels.
struct Picture {
  QTextImageFormat format;
  QImage image;
};
std::vector<Picture> pictures(const QTextDocument& doc) {
  std::vector<Picture> out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) {
        const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
        out.push_back(
            {f, doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>()});
      }
  return out;
}

QImage testImage() {
  QImage image(40, 20, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 20; ++y)
      image.setPixel(x, y, qRgb(0, 0, 0));
  return image;
}

} // namespace

TEST(RtfPictures, PngAndJpegLoadAtTheirShownSizeAndFallbacksAreSkipped) {
  const QImage image = testImage();
  // Our own kind, then LibreOffice's: the picture in \shppict scaled to 80 %,
  // a metafile stand-in beside it in \nonshppict.
  const std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Before "
      "{\\pict\\picw40\\pich20\\picwgoal1440\\pichgoal720\\pngblip\n" +
      hexOf(image, "PNG") +
      "}\\par\\pard {\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn wzName}{\\sv x}}}\\picscalex80"
      "\\picscaley80\\picw40\\pich20\\picwgoal2880\\pichgoal1440\\jpegblip " +
      hexOf(image, "JPEG") +
      "}}{\\nonshppict{\\pict\\wmetafile8\\picw40\\pich20 0100}} After\\par}";
  QTextDocument doc;
  ASSERT_TRUE(readRtf(rtf, doc));
  const auto found = pictures(doc);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_DOUBLE_EQ(found[0].format.width(), twipsToUnits(1440));
  EXPECT_DOUBLE_EQ(found[0].format.height(), twipsToUnits(720));
  EXPECT_DOUBLE_EQ(found[1].format.width(), twipsToUnits(2880 * 80 / 100));
  EXPECT_EQ(found[0].image.size(), image.size());
  EXPECT_EQ(found[0].image.convertToFormat(QImage::Format_RGB32), image);
  EXPECT_EQ(found[1].image.size(), image.size());
  const QString text = doc.toPlainText();
  EXPECT_TRUE(text.startsWith(QStringLiteral("Before ")));
  EXPECT_TRUE(text.endsWith(QStringLiteral(" After")));
  EXPECT_FALSE(text.contains(QStringLiteral("wzName")));
}

TEST(RtfPictures, WrittenAsPngAndReadBackUnchanged) {
  QTextDocument doc;
  const QImage image = testImage();
  doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pic:1")), image);
  QTextCursor cursor(&doc);
  cursor.insertText(QStringLiteral("Logo: "));
  QTextImageFormat f;
  f.setName(QStringLiteral("pic:1"));
  f.setWidth(twipsToUnits(2000));
  f.setHeight(twipsToUnits(1000));
  cursor.insertImage(f);
  const std::string rtf = writeRtf(doc, {});
  EXPECT_NE(rtf.find("\\pngblip"), std::string::npos) << rtf.substr(0, 600);
  EXPECT_NE(rtf.find("\\picwgoal2000\\pichgoal1000"), std::string::npos);
  QTextDocument back;
  ASSERT_TRUE(readRtf(rtf, back));
  const auto found = pictures(back);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].image.convertToFormat(QImage::Format_RGB32), image);
  EXPECT_NEAR(found[0].format.width(), twipsToUnits(2000), 0.01);
  // Damaged picture data leaves the picture out, never the text.
  std::string broken = rtf;
  broken.replace(broken.find("\\pngblip") + 9, 40, std::string(40, '0'));
  QTextDocument damaged;
  ASSERT_TRUE(readRtf(broken, damaged));
  EXPECT_TRUE(pictures(damaged).empty());
  EXPECT_TRUE(damaged.toPlainText().startsWith(QStringLiteral("Logo:")));
}

TEST(RtfReaderFixes, HeadersAndFootersStayOutOfTheBody) {
  const std::string rtf = "{\\rtf1\\ansi{\\header \\pard Header text 2\\par}"
                          "{\\footerr \\pard Footer \\endash  page 2 of 3\\par}"
                          "{\\headerf First page header\\par}\\pard Body text\\par}";
  QTextDocument doc;
  ASSERT_TRUE(readRtf(rtf, doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Body text"));
}

TEST(RtfReaderFixes, SymbolFontBulletsBecomeBullets) {
  // Word's list bullet: \u61623 (U+F0B7) with a fallback, and \'b7, both in
  // a \fcharset2 Symbol font; Wingdings' check mark \'fc.
  const std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}"
                          "{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fnil\\fcharset2 Wingdings;}}"
                          "\\pard{\\f1\\u61623\\'b7}\\tab One\\par"
                          "\\pard{\\f1\\'b7}\\tab Two\\par"
                          "\\pard{\\f2\\'fc}\\tab Three\\par"
                          "\\pard Middle dot \\'b7 stays\\par}";
  QTextDocument doc;
  ASSERT_TRUE(readRtf(rtf, doc));
  const QStringList lines =
      doc.toPlainText().split(QChar(QChar::ParagraphSeparator)).join('\n').split('\n');
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], QStringLiteral("\u2022\tOne"));
  EXPECT_EQ(lines[1], QStringLiteral("\u2022\tTwo"));
  EXPECT_EQ(lines[2], QStringLiteral("\u2713\tThree"));
  EXPECT_EQ(lines[3], QStringLiteral("Middle dot \u00B7 stays"));
  // The bullet is drawn by the document's font, not by the Symbol encoding.
  const QTextBlock first = doc.begin();
  EXPECT_NE(first.begin().fragment().charFormat().fontFamilies().toStringList().value(0),
            QStringLiteral("Symbol"));
}

namespace {
// Black pixels of a picture: a placeholder must show something.
int blackPixels(const QImage& image) {
  const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  int n = 0;
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x)
      n += grey.constScanLine(y)[x] < 128;
  return n;
}
} // namespace

TEST(RtfPictures, WordFloatingPictureIsPlacedAtItsAnchorAndMetafilesShowAPlaceholder) {
  const QImage image = testImage();
  QImage other(8, 8, QImage::Format_RGB32);
  other.fill(Qt::red);
  // Word's floating picture: the shape's "pib" holds the picture; another
  // picture property (a fill) and the metafile fallback in \shprslt are not
  // the picture shown.
  const std::string shape =
      "{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright2880\\shpbottom1440\\shpwr3\\shplid1025"
      "{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn fillBlip}{\\sv {\\pict\\pngblip " +
      hexOf(other, "PNG") +
      "}}}{\\sp{\\sn pib}{\\sv {\\pict\\picscalex100\\picscaley100\\picw40\\pich20"
      "\\picwgoal2880\\pichgoal1440\\pngblip " +
      hexOf(image, "PNG") +
      "}}}{\\sp{\\sn wzDescription}{\\sv A logo}}}"
      "{\\shprslt\\par\\pard\\ql {\\pict\\wmetafile8\\picw5080\\pich2540 0100}\\par}}";
  const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Before " + shape +
                          " After\\par\\pard {\\pict\\wmetafile8\\picw5080\\pich2540"
                          "\\picwgoal2880\\pichgoal1440 010009000003}"
                          "{\\shp{\\*\\shpinst{\\sp{\\sn pib}{\\sv {\\pict\\emfblip 0100}}}}"
                          "{\\shprslt {\\pict\\wmetafile8 0100}}} End\\par}";
  QTextDocument doc;
  ASSERT_TRUE(readRtf(rtf, doc));
  const auto found = pictures(doc);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].image.convertToFormat(QImage::Format_RGB32), image);
  EXPECT_DOUBLE_EQ(found[0].format.width(), twipsToUnits(2880));
  // The metafiles: a visible frame of the picture's size (an inline one and
  // a shape's enhanced metafile, whose fallback is not shown as well).
  EXPECT_DOUBLE_EQ(found[1].format.width(), twipsToUnits(2880));
  EXPECT_GT(blackPixels(found[1].image), 100);
  EXPECT_DOUBLE_EQ(found[2].format.width(), twipsToUnits(2880)); // 2 inches when unstated
  EXPECT_GT(blackPixels(found[2].image), 100);
  const QString text = doc.toPlainText();
  EXPECT_TRUE(text.startsWith(QStringLiteral("Before "))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(" After"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("End"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("logo"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("75"))) << text.toStdString();
}

TEST(RtfPictures, LibreOfficeFloatingPictureLoads) {
  // LibreOffice 7.4 writes a picture floating beside a paragraph as a shape
  // (a 200 x 120 grey ramp shown 2.08 x 1.25 inches).
  QFile file(QStringLiteral(TOLVANE_TEST_DATA "/docimport/lo-floating-picture.rtf"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QTextDocument doc;
  ASSERT_TRUE(readRtf(file.readAll().toStdString(), doc));
  const auto found = pictures(doc);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].image.size(), QSize(200, 120));
  EXPECT_DOUBLE_EQ(found[0].format.width(), twipsToUnits(3000));
  const QString text = doc.toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("Text before the picture."))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("floating picture at its left"))) << text.toStdString();
  EXPECT_EQ(text.count(QStringLiteral("Text after.")), 1) << text.toStdString();
}
