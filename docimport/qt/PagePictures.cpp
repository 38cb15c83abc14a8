#include "docimport/qt/PagePictures.h"

#include "docimport/DocumentImport.h"
#include "docimport/OfficeConvert.h"
#include "richtext/RichEditor.h"
#include "richtext/Units.h"

#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

namespace docimport {

namespace {

constexpr int kPictureDpi = 200; // the fax page renderer's resolution

// The layout measures in logical pixels (96, 120 or 144 per inch); 25 pixels
// at 200 per inch are an eighth of an inch, a whole number of them (12, 15,
// 18). Pictures padded with white to whole eighths land on whole layout
// units, so the fax page draws them pixel for pixel, without resampling.
constexpr int kWholeUnitStep = 25;

int wholeSteps(int pixels) {
  return (pixels + kWholeUnitStep - 1) / kWholeUnitStep * kWholeUnitStep;
}

int twipsToPixels(int twips) {
  return std::max(1, twips * kPictureDpi / 1440);
}

// The text area of the editor's page at 200 pixels per inch. A page picture
// stays a few rows short of the area so that its line fits the page.
FaxGrid pictureGrid(const richtext::TPageLayout& layout) {
  FaxGrid grid;
  grid.width = twipsToPixels(layout.textWidth()) / kWholeUnitStep * kWholeUnitStep;
  grid.xdpi = grid.ydpi = kPictureDpi;
  grid.maxRows =
      std::max(1, twipsToPixels(layout.height - layout.top - layout.bottom) - 2 * kWholeUnitStep);
  return grid;
}

QImage toImage(const faximage::PageBitmap& bits) {
  QImage image(wholeSteps(bits.width()), wholeSteps(bits.height()), QImage::Format_Mono);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // 1 = black, as page bits
  image.fill(0);
  for (int y = 0; y < bits.height(); ++y)
    std::memcpy(image.scanLine(y), bits.row(y), bits.stride());
  const int perMeter = int(kPictureDpi / 0.0254 + 0.5);
  image.setDotsPerMeterX(perMeter);
  image.setDotsPerMeterY(perMeter);
  return image;
}

// The file's pages as pictures, or nothing with *error set.
std::optional<std::vector<QImage>> readPictures(const QString& path, ImportOptions options,
                                                QString* error) {
  std::vector<QImage> pictures;
  try {
    const std::string name = path.toStdString();
    std::optional<OfficePdf> pdf;
    if (detectFileKind(name) == DocumentKind::WordProcessor)
      pdf.emplace(convertWithOffice(name));
    importPagesIsolated(pdf ? pdf->path() : name, options,
                        [&](FaxPage&& page) { pictures.push_back(toImage(page.bitmap)); });
  } catch (const ImportError& e) {
    if (error)
      *error = QString::fromStdString(e.what());
    return std::nullopt;
  }
  if (pictures.empty()) {
    if (error)
      *error = QStringLiteral("The file holds no pages: %1").arg(path);
    return std::nullopt;
  }
  return pictures;
}

void insertPicture(QTextCursor& cursor, QTextDocument& doc, const QImage& image) {
  static std::atomic<int> counter{0};
  const QString name = QStringLiteral("page-picture:%1").arg(++counter);
  doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
  QTextImageFormat format;
  format.setName(name);
  // Drawn at 200 per inch, the picture's pixels are the fax page's pixels.
  const double units = richtext::unitsPerInch() / kPictureDpi;
  format.setWidth(image.width() * units);
  format.setHeight(image.height() * units);
  cursor.insertImage(format);
}

ImportOptions pictureOptions(const richtext::TRichEditor& editor, Halftone halftone) {
  ImportOptions options;
  options.grid = pictureGrid(editor.PageLayout());
  options.halftone = halftone;
  return options;
}

} // namespace

int InsertPagesFromFile(richtext::TRichEditor& editor, const QString& path, QString* error,
                        Halftone halftone) {
  const auto pictures = readPictures(path, pictureOptions(editor, halftone), error);
  if (!pictures)
    return 0;
  QTextCursor cursor = editor.textCursor();
  cursor.beginEditBlock();
  const bool textFollows = !cursor.atEnd();
  QTextBlockFormat pageStart = cursor.blockFormat();
  pageStart.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  for (const QImage& picture : *pictures) {
    // Each picture starts a page; an empty document's first page is its own.
    if (cursor.block().length() > 1 || cursor.blockNumber() > 0)
      cursor.insertBlock(pageStart);
    else
      cursor.setBlockFormat(pageStart);
    insertPicture(cursor, *editor.document(), picture);
  }
  if (textFollows) // the text after the pictures goes on on a new page
    cursor.insertBlock(pageStart);
  cursor.endEditBlock();
  editor.setTextCursor(cursor);
  return int(pictures->size());
}

bool InsertPictureFromFile(richtext::TRichEditor& editor, const QString& path, QString* error,
                           Halftone halftone) {
  ImportOptions options = pictureOptions(editor, halftone);
  options.firstPagesOnly = 1;
  options.grid->turnWide = false; // a picture in the text keeps its way up
  const auto pictures = readPictures(path, options, error);
  if (!pictures)
    return false;
  QTextCursor cursor = editor.textCursor();
  insertPicture(cursor, *editor.document(), pictures->front());
  editor.setTextCursor(cursor);
  return true;
}

QString ImportFileFilter() {
  return QStringLiteral(
      "Documents and pictures (*.pdf *.png *.jpg *.jpeg *.tif *.tiff *.odt *.docx *.doc *.rtf);;"
      "All files (*)");
}

} // namespace docimport
