#include "faxview/TFxFaxPrinter.h"

#include "faxview/PageTransforms.h"
#include "faxview/TFxFaxPrinterStatus.h"
#include "platform/FxErrors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <cerrno>

namespace faxview {

using faximage::PageBitmap;

QString PrintProgressWord(int progress) {
  static const char* const words[] = {"Idle", "Composing", "Rendering", "Submitting", "Converting"};
  return progress >= 0 && progress <= 4 ? words[progress] : QString();
}

namespace {
void processMessages() {
  QCoreApplication::processEvents();
}

QString shortDate() {
  return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}
QString shortTime() {
  return QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat);
}
} // namespace

// ------------------------------------------------------------------- log

TFxCustomFaxPrinterLog::TFxCustomFaxPrinterLog(QObject* owner) : QObject(owner) {}

void TFxCustomFaxPrinterLog::UpdateLog(int code) {
  static const char* const words[] = {" started at ", " finished at ", " aborted at ",
                                      " failed at "};
  if (code < 0 || code > 3)
    return;
  QFile file(m_logFileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
    RaiseFxError(IoErrorFromErrno(errno ? errno : EACCES, true));
  const QString name = m_printer ? m_printer->FileName() : QString();
  QByteArray line =
      ("Printing " + name + words[code] + shortDate() + " " + shortTime()).toLocal8Bit() + "\r\n";
  if (code != lcStart)
    line += "\r\n";
  if (file.write(line) != line.size() || !file.flush())
    RaiseFxError(ecDeviceWrite);
}

// --------------------------------------------------------------- printer

TFxCustomFaxPrinter::TFxCustomFaxPrinter(QObject* owner)
    : QObject(owner), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  m_printer->setDocName("FX Fax Printer");
  m_header.SetCaption("FILE: $F");
  m_header.SetEnabled(true);
  m_footer.SetCaption("PAGE: $P of $N");
  m_footer.SetEnabled(true);
}

TFxCustomFaxPrinter::~TFxCustomFaxPrinter() = default;

QString TFxCustomFaxPrinter::Caption() const {
  return m_printer->docName();
}

void TFxCustomFaxPrinter::SetCaption(const QString& caption) {
  m_printer->setDocName(caption);
}

// The first log (or status display) among the owner's components, looked
// for again while none is linked, so that one added later is found.
TFxCustomFaxPrinterLog* TFxCustomFaxPrinter::FaxPrinterLog() {
  if (!m_log && parent())
    if (auto* log = parent()->findChild<TFxCustomFaxPrinterLog*>())
      SetFaxPrinterLog(log);
  return m_log;
}

void TFxCustomFaxPrinter::SetFaxPrinterLog(TFxCustomFaxPrinterLog* log) {
  m_log = log;
  if (log)
    log->SetFaxPrinter(static_cast<TFxFaxPrinter*>(this));
}

TFxAbstractFaxPrinterStatus* TFxCustomFaxPrinter::StatusDisplay() {
  if (!m_status && parent())
    if (auto* status = parent()->findChild<TFxAbstractFaxPrinterStatus*>())
      SetStatusDisplay(status);
  return m_status;
}

void TFxCustomFaxPrinter::SetStatusDisplay(TFxAbstractFaxPrinterStatus* display) {
  m_status = display;
  if (display)
    display->SetFaxPrinter(this);
}

void TFxCustomFaxPrinter::SetFileName(const QString& name) {
  if (name == m_fileName)
    return;
  m_fileName = name;
  m_unpacker.SetInFileName(name.toStdString());
  m_pagesInFile = name.isEmpty() ? 0 : m_unpacker.CountPages();
  m_fileIsFine = m_pagesInFile > 0 && m_unpacker.FirstPageIsFine();
  m_fileIsWide = m_pagesInFile > 0 && m_unpacker.FirstPageIsWide();
  m_fromPage = m_pagesInFile > 0 ? 1 : 0;
  m_toPage = m_pagesInFile;
  m_printer->setPrintRange(QPrinter::AllPages);
  m_printer->setFromTo(0, 0);
}

bool TFxCustomFaxPrinter::SelectPages(QWidget* parent) {
  QPrintDialog dialog(m_printer.get(), parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setMinMax(m_pagesInFile > 0 ? 1 : 0, m_pagesInFile);
  m_printer->setPrintRange(QPrinter::AllPages);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  if (m_printer->printRange() == QPrinter::PageRange && m_printer->fromPage() > 0) {
    m_fromPage = m_printer->fromPage();
    m_toPage = std::min(m_printer->toPage(), m_pagesInFile);
  } else {
    m_fromPage = m_pagesInFile > 0 ? 1 : 0;
    m_toPage = m_pagesInFile;
  }
  return true;
}

void TFxCustomFaxPrinter::setState(int state) {
  if (state != m_printState) {
    m_printState = state;
    if (OnFaxPrintStatus)
      OnFaxPrintStatus(static_cast<TFxFaxPrinter*>(this), TFaxPrintProgress(state));
    if (StatusDisplay() && m_status->Display() && m_status->Display()->isVisible()) {
      try {
        m_status->UpdateDisplay(false, false);
      } catch (...) {
      }
    }
  }
  processMessages();
}

void TFxCustomFaxPrinter::log(int code) {
  if (OnFaxPrintLog)
    OnFaxPrintLog(static_cast<TFxFaxPrinter*>(this), TFaxPLCode(code));
  if (FaxPrinterLog())
    m_log->UpdateLog(code);
}

void TFxCustomFaxPrinter::updateDisplay(bool first, bool last) {
  if (StatusDisplay())
    m_status->UpdateDisplay(first, last);
}

QSize TFxCustomFaxPrinter::PrintSize(QSize bitmap, QSize area, TFaxPrintScale scale) {
  if (bitmap.width() <= 0 || bitmap.height() <= 0)
    return {0, 0};
  if (scale == psNone)
    return {bitmap.width(), std::min(bitmap.height(), area.height())};
  const int w = int(int64_t(bitmap.width()) * area.height() / bitmap.height());
  if (w < area.width())
    return {w, area.height()};
  return {area.width(), int(int64_t(bitmap.height()) * area.width() / bitmap.width())};
}

// Each macro runs from "$" to the next space (or the end) and is replaced
// by one value chosen by the letter after the "$". The text is scanned once,
// so a "$" inside a replacement (a folder name, say) is printed as it is.
QString TFxCustomFaxPrinter::ExpandMacros(const QString& caption, int page) const {
  QString out;
  for (qsizetype i = 0; i < caption.size();) {
    if (caption[i] != '$') {
      out += caption[i++];
      continue;
    }
    qsizetype end = caption.indexOf(' ', i);
    if (end < 0)
      end = caption.size();
    const QChar key = i + 1 < end ? caption[i + 1].toUpper() : QChar();
    if (key == 'D')
      out += shortDate();
    else if (key == 'F')
      out += m_fileName;
    else if (key == 'N')
      out += QString::number(m_pagesInFile);
    else if (key == 'P')
      out += QString::number(page);
    else if (key == 'T')
      out += shortTime();
    i = end;
  }
  return out;
}

QRect TFxCustomFaxPrinter::PageArea(const QRect& sheet, int i, int from, bool landscape) const {
  QRect area = sheet;
  if (m_multiPage) {
    const int k = (i - from) % 4;
    area.setWidth(sheet.width() / 2);
    if (!landscape)
      area.setHeight(sheet.height() / 2);
    if (k == 1 || k == 3)
      area.moveLeft(sheet.left() + sheet.width() / 2);
    if (!landscape && (k == 2 || k == 3))
      area.moveTop(sheet.top() + sheet.height() / 2);
  }
  return area.adjusted(2, 2, -2, -2);
}

void TFxCustomFaxPrinter::drawMargin(QPainter& painter, TFxFaxPrinterMargin& margin, int page,
                                     QRect& area, bool header) {
  QFont font(margin.Font(), painter.device());
  if (m_multiPage && font.pointSize() > 0)
    font.setPointSize(std::max(1, font.pointSize() / 2));
  painter.setFont(font);
  painter.setPen(Qt::black);
  const int h = painter.fontMetrics().height();
  margin.SetHeight(h);
  const QString text = ExpandMacros(margin.Caption(), page);
  if (header) {
    const QRect box(area.left(), area.top(), area.width(), h);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    area.setTop(area.top() + h + 2);
    painter.drawLine(area.left(), area.top(), area.right(), area.top());
    area.setTop(area.top() + 1);
  } else {
    const QRect box(area.left(), area.bottom() + 1 - h, area.width(), h);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    area.setBottom(area.bottom() - h - 2);
    painter.drawLine(area.left(), area.bottom(), area.right(), area.bottom());
    area.setBottom(area.bottom() - 1);
  }
}

// Pages FromPageNo..ToPageNo: each unpacked, framed and drawn on its sheet
// (or quarter or half of one).
void TFxCustomFaxPrinter::PrintDocument() {
  if (m_pagesInFile == 0 || m_fromPage < 1 || m_toPage < m_fromPage)
    return;
  m_unpacker.SetOptions(m_unpacker.Options() & ~faximage::uoAbort);
  m_printState = ppIdle;
  updateDisplay(true, false);
  try {
    log(lcStart);
  } catch (...) { // the log cannot be written: nothing is printed
    updateDisplay(false, true);
    throw;
  }
  QPainter painter;
  m_docRunning = painter.begin(m_printer.get());
  if (!m_docRunning) {
    updateDisplay(false, true);
    log(lcFailed);
    RaiseFxError(ecDeviceWrite);
  }
  m_painter = &painter;
  try {
    for (int i = m_fromPage; i <= m_toPage; ++i)
      if (!printPage(painter, i))
        return; // aborted: CancelPrinting has ended the document and logged it
  } catch (...) {
    m_painter = nullptr;
    if (m_docRunning) {
      m_docRunning = false;
      painter.end();
      log(lcFailed);
    }
    m_printingPage = 0;
    updateDisplay(false, true);
    throw;
  }
  processMessages();
  endDocument(painter);
}

void TFxCustomFaxPrinter::endDocument(QPainter& painter) {
  m_painter = nullptr;
  if (m_docRunning) {
    m_docRunning = false;
    painter.end();
  }
  log(lcFinish);
  m_printState = ppIdle;
  updateDisplay(false, true);
  m_printingPage = 0;
}

bool TFxCustomFaxPrinter::printPage(QPainter& painter, int i) {
  m_printingPage = i;
  processMessages();
  const bool landscape = m_printer->pageLayout().orientation() == QPageLayout::Landscape;
  const int perSheet = !m_multiPage ? 1 : landscape ? 2 : 4;
  if (i != m_fromPage && m_docRunning && (i - m_fromPage) % perSheet == 0)
    m_printer->newPage();
  processMessages();
  if (!m_docRunning)
    return false;
  if (OnNextPage)
    OnNextPage(static_cast<TFxFaxPrinter*>(this), i, m_pagesInFile);
  setState(ppConverting);
  std::unique_ptr<PageBitmap> bitmap;
  try {
    bitmap = m_unpacker.PageToBitmap(i);
  } catch (const EFxException& e) {
    if (!m_docRunning && e.ErrorCode() == ecUnpackAbort)
      return false;
    throw;
  }
  processMessages();
  if (!m_docRunning)
    return false;
  // A page whose rows end early still prints at the fax's full width.
  PadToWidth(*bitmap, bitmap->width() > 1728 ? 2048 : 1728);
  setState(ppComposing);
  const QRect sheet(QPoint(0, 0),
                    m_printer->pageLayout().paintRectPixels(m_printer->resolution()).size());
  QRect area = PageArea(sheet, i, m_fromPage, landscape);
  processMessages();
  if (m_header.Enabled() && m_docRunning)
    drawMargin(painter, m_header, i, area, true);
  if (m_footer.Enabled() && m_docRunning)
    drawMargin(painter, m_footer, i, area, false);
  const QSize size = PrintSize(QSize(bitmap->width(), bitmap->height()), area.size(), m_printScale);
  setState(ppRendering);
  if (m_docRunning && !size.isEmpty()) {
    QImage image(bitmap->width(), bitmap->height(), QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int y = 0; y < bitmap->height(); ++y)
      std::copy_n(bitmap->row(y), bitmap->stride(), image.scanLine(y));
    // Dot for dot, a page longer than the area is cut at its bottom.
    const QRect source =
        m_printScale == psNone ? QRect(0, 0, size.width(), size.height()) : image.rect();
    painter.drawImage(QRect(area.topLeft(), size), image, source);
  }
  setState(ppSubmitting);
  return true;
}

void TFxCustomFaxPrinter::CancelPrinting() {
  m_printState = ppIdle;
  if (m_docRunning) {
    m_unpacker.SetOptions(m_unpacker.Options() | faximage::uoAbort);
    m_docRunning = false;
    const bool aborted = m_printer->abort();
    if (m_painter && m_painter->isActive())
      m_painter->end();
    m_painter = nullptr;
    // A print into a file that could not be cancelled leaves no partial file.
    if (!aborted && m_printer->outputFormat() == QPrinter::PdfFormat &&
        !m_printer->outputFileName().isEmpty())
      QFile::remove(m_printer->outputFileName());
    m_printingPage = 0;
    log(lcAborted);
    updateDisplay(false, true);
  }
  processMessages();
}

} // namespace faxview
