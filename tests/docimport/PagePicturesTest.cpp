// Pages from files as pictures in the fax editor: drawn on the fax page
// pixel for pixel, kept through save and reload, opened by LibreOffice.

#include "docimport/qt/PagePictures.h"
#include "DocImportSupport.h"
#include "DocPictures.h"
#include "richtext/RichEditor.h"
#include "richtext/RtfReader.h"
#include "richtext/Units.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace doctest;

namespace {

std::vector<faximage::PageBitmap> faxPages(richtext::TRichEditor& editor) {
  std::vector<faximage::PageBitmap> pages;
  int start = 0;
  do {
    faximage::PageBitmap page = richtext::newFaxPage();
    start = editor.DrawFaxPage(start, page);
    pages.push_back(std::move(page));
  } while (start > 0 && pages.size() < 20);
  return pages;
}

// Pixels of the picture that differ from the fax page at (left, top).
long differingPixels(const QImage& picture, const faximage::PageBitmap& page, int left, int top) {
  const QImage mono = picture.convertToFormat(QImage::Format_Grayscale8);
  long differ = 0;
  for (int y = 0; y < mono.height(); ++y)
    for (int x = 0; x < mono.width(); ++x) {
      const bool black = mono.constScanLine(y)[x] < 128;
      const bool onPage =
          x + left < page.width() && y + top < page.height() && page.pixel(x + left, y + top);
      differ += black != onPage;
    }
  return differ;
}

// Runs headless LibreOffice on a file; the converted file or "".
QString libreOffice(const QString& file, const QString& format, const QString& outDir) {
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  QProcess p;
  p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + outDir + "/profile",
                    "--headless", "--convert-to", format, file, "--outdir", outDir});
  if (!p.waitForFinished(120000))
    return {};
  const QString out =
      outDir + "/" + QFileInfo(file).completeBaseName() + "." + format.section(':', 0, 0);
  return QFile::exists(out) ? out : QString();
}

} // namespace

TEST(PagePictures, PdfPagesBecomePicturesDrawnPixelForPixelOnFaxPages) {
  richtext::TRichEditor editor;
  QString error;
  ASSERT_EQ(
      docimport::InsertPagesFromFile(editor, QString::fromStdString(docData("report.pdf")), &error),
      3)
      << error.toStdString();
  const auto pics = documentPictures(*editor.document());
  ASSERT_EQ(pics.size(), 3u);
  // The letter page scaled into the 7.5 inch text width at 200 per inch.
  EXPECT_EQ(pics[0].width(), 1500);
  EXPECT_NEAR(pics[0].height(), 1500 * 11 / 8.5, 25);     // padded to whole layout units
  if (const char* dir = std::getenv("DOCIMPORT_SHOTS")) { // for looking at the editor
    editor.resize(900, 700);
    editor.moveCursor(QTextCursor::Start);
    editor.show();
    editor.grab().save(QStringLiteral("%1/editor-with-pages.png").arg(dir));
  }
  const auto pages = faxPages(editor);
  ASSERT_EQ(pages.size(), 3u);
  const richtext::TFaxPageArea area;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(differingPixels(pics[i], pages[i], area.left, area.top), 0) << "page " << i + 1;
    if (const char* dir = std::getenv("DOCIMPORT_SHOTS")) {
      QImage shot(pages[i].width(), pages[i].height(), QImage::Format_Mono);
      shot.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
      for (int y = 0; y < pages[i].height(); ++y)
        std::memcpy(shot.scanLine(y), pages[i].row(y), pages[i].stride());
      shot.save(QStringLiteral("%1/editor-fax-page%2.png").arg(dir).arg(i + 1));
      pics[i].save(QStringLiteral("%1/editor-picture%2.png").arg(dir).arg(i + 1));
    }
  }
}

TEST(PagePictures, SurviveSaveReloadAndLibreOffice) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  richtext::TRichEditor editor;
  editor.insertPlainText(QStringLiteral("Cover note\n"));
  QString error;
  ASSERT_EQ(
      docimport::InsertPagesFromFile(editor, QString::fromStdString(docData("report.pdf")), &error),
      3);
  const QString saved = dir.path() + "/memo.rtf";
  ASSERT_TRUE(editor.SaveToFile(saved));
  richtext::TRichEditor reloaded;
  ASSERT_TRUE(reloaded.LoadFromFile(saved));
  const auto before = documentPictures(*editor.document()),
             after = documentPictures(*reloaded.document());
  ASSERT_EQ(after.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(after[i].convertToFormat(QImage::Format_Grayscale8),
              before[i].convertToFormat(QImage::Format_Grayscale8));
  EXPECT_EQ(faxPages(reloaded).size(), 4u); // the note, then a page per picture

  if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
    GTEST_SKIP() << "LibreOffice is not installed";
  // LibreOffice reads our pictures (its PDF holds three images) and its own
  // RTF of the document brings them back to us.
  const QString pdf = libreOffice(saved, QStringLiteral("pdf"), dir.path());
  ASSERT_FALSE(pdf.isEmpty());
  QProcess list;
  list.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
  ASSERT_TRUE(list.waitForFinished(30000));
  const QStringList rows =
      QString::fromLatin1(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  EXPECT_EQ(rows.size() - 2, 3) << rows.join('\n').toStdString(); // two header lines

  QDir(dir.path()).mkdir(QStringLiteral("lo"));
  const QString theirs = libreOffice(saved, QStringLiteral("rtf"), dir.path() + "/lo");
  ASSERT_FALSE(theirs.isEmpty());
  richtext::TRichEditor fromLibreOffice;
  ASSERT_TRUE(fromLibreOffice.LoadFromFile(theirs));
  const auto back = documentPictures(*fromLibreOffice.document());
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].size(), before[0].size());
}

TEST(PagePictures, GreyPicturesAreDiffusedOnTheFaxPage) {
  // A mid-grey picture, as pictures in word-processor RTF are: the fax page
  // shows it as a pattern of about half black, not as one solid block.
  richtext::TRichEditor editor;
  QImage grey(400, 300, QImage::Format_Grayscale8);
  grey.fill(128);
  editor.document()->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("grey")), grey);
  QTextImageFormat f;
  f.setName(QStringLiteral("grey"));
  f.setWidth(400 * richtext::unitsPerInch() / 200);
  f.setHeight(300 * richtext::unitsPerInch() / 200);
  editor.textCursor().insertImage(f);
  const auto pages = faxPages(editor);
  ASSERT_EQ(pages.size(), 1u);
  const richtext::TFaxPageArea area;
  long black = 0;
  for (int y = area.top + 20; y < area.top + 280; ++y)
    for (int x = area.left + 20; x < area.left + 380; ++x)
      black += pages[0].pixel(x, y);
  EXPECT_NEAR(double(black) / (260.0 * 360.0), 0.5, 0.05);
}

TEST(PagePictures, DamagedFileLeavesTheDocumentAlone) {
  QTemporaryDir dir;
  const QString bad = dir.path() + "/bad.pdf";
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n");
  f.close();
  richtext::TRichEditor editor;
  editor.insertPlainText(QStringLiteral("Keep me"));
  QString error;
  EXPECT_EQ(docimport::InsertPagesFromFile(editor, bad, &error), 0);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(docimport::InsertPictureFromFile(editor, bad, &error));
  EXPECT_EQ(editor.document()->toPlainText(), QStringLiteral("Keep me"));
}
