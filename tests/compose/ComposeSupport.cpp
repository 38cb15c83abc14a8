#include "ComposeSupport.h"

#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "faximage/ApfFile.h"
#include "faximage/FaxUnpacker.h"
#include "platform/PendingEvents.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTextCursor>
#include <QTimer>
#include <tiffio.h>

namespace composetest {

void DataDirTest::SetUp() {
  ASSERT_TRUE(m_dir.isValid());
  platform::setProgramDir(m_dir.path().toStdString());
  platform::clearQuitRequest();
  app::Settings = app::TSettings{};
  app::Settings.FontName = "DejaVu Sans";
  appwidgets::MessageBoxHook::clear();
}

void DataDirTest::TearDown() {
  platform::setProgramDir("");
  platform::clearQuitRequest();
}

QStringList DataDirTest::files() const {
  QStringList names = QDir(m_dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
  names.sort();
  return names;
}

std::string rtfOf(const std::function<void(richtext::TRichEditor&)>& build) {
  richtext::TRichEditor editor;
  build(editor);
  return editor.SaveToRtf();
}

std::string rtfOfParagraphs(const QStringList& paragraphs) {
  return rtfOf([&](richtext::TRichEditor& ed) {
    QFont font(QStringLiteral("DejaVu Sans"), 12);
    ed.document()->setDefaultFont(font);
    QTextCursor c(ed.document());
    bool first = true;
    bool breakNext = false;
    for (const QString& p : paragraphs) {
      if (p == QLatin1String("\f")) {
        breakNext = true;
        continue;
      }
      if (!first)
        c.insertBlock();
      QTextBlockFormat f = c.blockFormat();
      f.setPageBreakPolicy(breakNext ? QTextFormat::PageBreak_AlwaysBefore
                                     : QTextFormat::PageBreak_Auto);
      c.setBlockFormat(f);
      breakNext = false;
      c.insertText(p);
      first = false;
    }
  });
}

void appendSentFax(xbase::Table& sent, const std::string& coverRtf, const std::string& docRtf,
                   const std::string& recipient, const std::string& subject) {
  sent.append();
  sent.setField("RECIPIENT", recipient);
  sent.setField("SUBJECT", subject);
  sent.setField("PHONE", "555-0100");
  sent.setMemo("RTFCOVER", coverRtf);
  sent.setMemo("RTFDOC", docRtf);
  sent.post();
}

faximage::PageBitmap decodeWithUnpacker(const QString& apf, int page) {
  faximage::TFxFaxUnpacker unpacker;
  unpacker.SetOptions(0);
  unpacker.AutoScaleMode = faximage::asNone;
  unpacker.SetInFileName(apf.toStdString());
  std::unique_ptr<faximage::PageBitmap> bitmap = unpacker.PageToBitmap(page);
  return bitmap ? *bitmap : faximage::PageBitmap();
}

faximage::PageBitmap decodeWithLibtiff(const QString& apf, int page, const QString& tiffPath) {
  std::vector<uint8_t> coded;
  faximage::ApfPageHeader header;
  if (faximage::readApfPageData(apf.toStdString(), unsigned(page), coded, &header) < 0)
    return {};
  // The rows the coded data holds, as our decoder counts them; libtiff must
  // decode exactly that many from the same bytes.
  const int rows = decodeWithUnpacker(apf, page).height();
  const int width = header.rowWidth();
  TIFF* out = TIFFOpen(tiffPath.toLocal8Bit().constData(), "w");
  if (!out)
    return {};
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(width));
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(rows));
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(rows));
  TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0);
  TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFWriteRawStrip(out, 0, coded.data(), tmsize_t(coded.size()));
  TIFFClose(out);

  TIFF* in = TIFFOpen(tiffPath.toLocal8Bit().constData(), "r");
  if (!in)
    return {};
  faximage::PageBitmap bitmap(width, rows);
  bool ok = true;
  for (int y = 0; y < rows && ok; ++y)
    ok = TIFFReadScanline(in, bitmap.row(y), uint32_t(y)) == 1;
  TIFFClose(in);
  return ok ? bitmap : faximage::PageBitmap();
}

int blackPixels(const faximage::PageBitmap& page, int fromRow, int toRow) {
  if (toRow < 0 || toRow > page.height())
    toRow = page.height();
  int n = 0;
  for (int y = fromRow; y < toRow; ++y)
    for (std::size_t i = 0; i < page.stride(); ++i)
      n += __builtin_popcount(page.row(y)[i]);
  return n;
}

void onNextModal(const std::function<void(QDialog*)>& action) {
  QPointer<QWidget> before = QApplication::activeModalWidget();
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* now = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QDialog*>(now);
    if (dialog && now != before.data() && dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      action(dialog);
      return;
    }
    if (clock->elapsed() > 5000) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      ADD_FAILURE() << "no modal dialog opened";
    }
  });
  timer->start();
}

void keepPng(const faximage::PageBitmap& page, const QString& name) {
  const QByteArray dir = qgetenv("TOLVANE_SHOTS_DIR");
  if (dir.isEmpty() || page.empty())
    return;
  QImage image(page.width(), page.height(), QImage::Format_Mono);
  image.setColor(0, qRgb(255, 255, 255));
  image.setColor(1, qRgb(0, 0, 0));
  for (int y = 0; y < page.height(); ++y)
    std::memcpy(image.scanLine(y), page.row(y), page.stride());
  image.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
}

} // namespace composetest
