#include "compose/FaxFileCreation.h"

#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "compose/RichTextMemo.h"
#include "faximage/ApfFile.h"
#include "faximage/BmpFile.h"
#include "faximage/FaxConverter.h"
#include "faximage/FxFile.h"
#include "platform/FxErrors.h"
#include "platform/PendingEvents.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"

#include <QFile>
#include <QWidget>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace compose {

namespace {

QString programDir() {
  return QString::fromStdString(platform::ProgramDir());
}

// Lets the window repaint; a quit requested meanwhile ends the work.
void yieldToWindow() {
  platform::processPendingEvents();
  if (platform::quitRequested())
    RaiseFxError(ecGotQuitMsg);
}

void check(int rc) {
  if (rc < 0)
    RaiseFxError(rc);
}

void removeFiles(const QStringList& names) {
  for (const QString& name : names)
    QFile::remove(name);
}

uint16_t get16(const uint8_t* p) {
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p) {
  return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16);
}

// The status line, the button bar and the cursor of the main window while a
// fax file is built; put back on every way out.
class CreationScope {
public:
  explicit CreationScope(const TFaxFileJob& job) : m_job(job) {
    m_busy.emplace();
    if (m_job.ButtonBar)
      m_job.ButtonBar->setEnabled(false);
  }
  ~CreationScope() {
    m_busy.reset();
    if (m_job.ButtonBar)
      m_job.ButtonBar->setEnabled(true);
    status(QString());
  }
  CreationScope(const CreationScope&) = delete;
  CreationScope& operator=(const CreationScope&) = delete;

  void status(const QString& text) const {
    if (m_job.ShowStatus)
      m_job.ShowStatus(text);
  }
  void restoreCursor() { m_busy.reset(); }

private:
  const TFaxFileJob& m_job;
  std::optional<appwidgets::BusyCursor> m_busy;
};

} // namespace

QString NewFaxFileName() {
  const QString dir = programDir();
  for (int k = 1; k <= 1000; ++k) {
    const QString name = dir + QStringLiteral("TOV_%1.APF").arg(k);
    if (!QFile::exists(name))
      return name;
  }
  return dir + QStringLiteral("TOV1.APF");
}

void RenderFaxPages(richtext::TRichEditor& editor, faximage::TFxFaxConverter& converter,
                    QStringList& pages) {
  int n = int(pages.size());
  faximage::PageBitmap page = richtext::newFaxPage();
  // The editor draws fax pages at 200 pixels per inch whatever its zoom or
  // the screen's resolution, so the zoom of the view is left alone.
  converter.setOptions(faximage::coYield);
  converter.setResolution(faximage::frHigh);
  converter.setInputDocumentType(faximage::idBmp);
  const richtext::TFaxPageArea area{49, 49, page.width() - 49, page.height() - 49};
  const QString bitmapFile = programDir() + QStringLiteral("_TMP.BMP");
  QStringList made;
  try {
    int position = 0;
    do {
      const int next = editor.DrawFaxPage(position, page, area);
      ++n;
      const QString name =
          n <= 1 ? NewFaxFileName() : programDir() + QStringLiteral("TOVAX%1.APF").arg(n);
      page.setPixel(page.width() - 1, page.height() - 1, true);
      check(faximage::writeMonochromeBmp(bitmapFile.toStdString(), page));
      yieldToWindow();
      converter.setDocumentFile(bitmapFile.toStdString());
      converter.setOutFileName(name.toStdString());
      made.append(name);
      converter.ConvertDocument();
      page.clear();
      position = next;
    } while (position > 0);
  } catch (...) {
    removeFiles(made);
    QFile::remove(bitmapFile);
    throw;
  }
  pages.append(made);
  QFile::remove(bitmapFile); // a file that cannot be deleted is left
}

void AppendFaxFile(const QString& destination, const QString& source) {
  if (!QFile::exists(destination) || !QFile::exists(source))
    RaiseFxError(ecFileNotFound);
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(4096);
  } catch (const std::bad_alloc&) {
    RaiseFxError(ecOutOfMemory);
  }
  faximage::FxFile dst, src;
  uint8_t dstHeader[faximage::kApfFileHeaderSize];
  uint8_t srcHeader[faximage::kApfFileHeaderSize];
  check(dst.openReadWrite(destination.toStdString()));
  check(dst.readExact(dstHeader, sizeof dstHeader));
  // The end of the destination's last page, found through its page headers.
  uint64_t end = get32(dstHeader + 34);
  const unsigned dstPages = get16(dstHeader + 32);
  for (unsigned i = 0; i < dstPages; ++i) {
    uint8_t pageHeader[faximage::kApfPageHeaderSize];
    check(dst.seek(end));
    check(dst.readExact(pageHeader, sizeof pageHeader));
    end += sizeof pageHeader + get32(pageHeader);
  }
  check(src.openRead(source.toStdString()));
  check(src.readExact(srcHeader, sizeof srcHeader));
  const unsigned srcPages = get16(srcHeader + 32);
  if (dstPages + srcPages > 0xFFFF)
    RaiseFxError(ecBadArgument);
  check(src.seek(get32(srcHeader + 34)));
  check(dst.seek(end));
  for (;;) {
    std::size_t got = 0;
    check(src.read(buffer.data(), buffer.size(), got));
    if (got == 0)
      break;
    check(dst.writeAll(buffer.data(), got));
  }
  const uint16_t total = uint16_t(dstPages + srcPages);
  dstHeader[32] = uint8_t(total);
  dstHeader[33] = uint8_t(total >> 8);
  check(dst.seek(0));
  check(dst.writeAll(dstHeader, sizeof dstHeader));
}

QString JoinFaxPages(const QStringList& pages) {
  if (pages.isEmpty())
    return QString();
  for (qsizetype i = 1; i < pages.size(); ++i)
    AppendFaxFile(pages[0], pages[i]);
  for (qsizetype i = 1; i < pages.size(); ++i)
    QFile::remove(pages[i]);
  return pages[0];
}

QString CreateFaxFile(const TFaxFileJob& job, int& lastFaxPages) {
  CreationScope scope(job);
  scope.status(QStringLiteral("Creating fax file"));
  yieldToWindow();
  LoadRichText(job.RichCover, job.SentTable, "RTFCOVER");
  LoadRichText(job.RichDoc, job.SentTable, "RTFDOC");
  const bool coverEmpty = appwidgets::IsRichTextEmpty(job.RichCover);
  const bool docEmpty = appwidgets::IsRichTextEmpty(job.RichDoc);
  if (coverEmpty && docEmpty) {
    scope.restoreCursor();
    scope.status(QString());
    appwidgets::AskButtons(QMessageBox::NoIcon, QStringLiteral("Tolvane"),
                           QStringLiteral("Fax has no contents or cover sheet"), QMessageBox::Ok,
                           QMessageBox::Ok, job.MessageParent);
    return QString();
  }
  QStringList pages;
  try {
    scope.status(QStringLiteral("Creating fax file...."));
    yieldToWindow();
    if (!coverEmpty)
      RenderFaxPages(job.RichCover, job.Converter, pages);
    if (!docEmpty)
      RenderFaxPages(job.RichDoc, job.Converter, pages);
    scope.status(QStringLiteral("Creating fax file........"));
    yieldToWindow();
    const QString name = JoinFaxPages(pages);
    lastFaxPages = int(pages.size());
    return name;
  } catch (...) {
    removeFiles(pages);
    throw;
  }
}

} // namespace compose
