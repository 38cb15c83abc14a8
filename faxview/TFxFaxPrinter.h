#pragma once
// The fax printer: prints a range of pages of an APF file on the current
// printer (or into a PDF file), each page unpacked to a bitmap, framed by a
// header and a footer line with macros, fitted to the sheet or printed dot
// for dot, one, two or four pages to a sheet; progress goes to a status
// window, to events and to a print log.

#include "faximage/FaxUnpacker.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QPrinter;

namespace faxview {

enum TFaxPrintScale { psNone = 0, psFitToPage = 1 };
enum TFaxPLCode { lcStart = 0, lcFinish = 1, lcAborted = 2, lcFailed = 3 };
enum TFaxPrintProgress {
  ppIdle = 0,
  ppComposing = 1,
  ppRendering = 2,
  ppSubmitting = 3,
  ppConverting = 4
};

// The word the status window shows for a progress value.
QString PrintProgressWord(int progress);

class TFxFaxPrinter;
class TFxAbstractFaxPrinterStatus;

class TFxCustomFaxPrinterMargin {
public:
  QString Caption() const { return m_caption; }
  void SetCaption(const QString& caption) { m_caption = caption; }
  bool Enabled() const { return m_enabled; }
  void SetEnabled(bool on) { m_enabled = on; }
  const QFont& Font() const { return m_font; }
  void SetFont(const QFont& font) { m_font = font; }
  int Height() const { return m_height; } // device units of the last text drawn
  void SetHeight(int h) { m_height = h; }

private:
  QString m_caption;
  bool m_enabled = false;
  QFont m_font;
  int m_height = 0;
};
class TFxFaxPrinterMargin : public TFxCustomFaxPrinterMargin {};

class TFxCustomFaxPrinterLog : public QObject {
  Q_OBJECT
public:
  explicit TFxCustomFaxPrinterLog(QObject* owner = nullptr);
  Q_DISABLE_COPY(TFxCustomFaxPrinterLog)
  QString LogFileName() const { return m_logFileName; }
  void SetLogFileName(const QString& name) { m_logFileName = name; }
  TFxFaxPrinter* FaxPrinter() const { return m_printer; }
  void SetFaxPrinter(TFxFaxPrinter* printer) { m_printer = printer; }
  // Appends the line of a log code (creating the file); raises on failure.
  void UpdateLog(int code);

private:
  QString m_logFileName = "FAXPRINT.LOG";
  QPointer<TFxFaxPrinter> m_printer;
};
class TFxFaxPrinterLog : public TFxCustomFaxPrinterLog {
  Q_OBJECT
public:
  using TFxCustomFaxPrinterLog::TFxCustomFaxPrinterLog;
};

using TFaxPrnNextPageEvent = std::function<void(TFxFaxPrinter* sender, int cp, int tp)>;
using TFaxPLEvent = std::function<void(TFxFaxPrinter* sender, TFaxPLCode code)>;
using TFaxPrintStatusEvent = std::function<void(TFxFaxPrinter* sender, TFaxPrintProgress code)>;

class TFxCustomFaxPrinter : public QObject {
  Q_OBJECT
public:
  explicit TFxCustomFaxPrinter(QObject* owner = nullptr);
  ~TFxCustomFaxPrinter() override;
  Q_DISABLE_COPY(TFxCustomFaxPrinter)

  QString Caption() const;
  void SetCaption(const QString& caption);
  TFxFaxPrinterMargin* FaxHeader() { return &m_header; }
  TFxFaxPrinterMargin* FaxFooter() { return &m_footer; }
  TFxCustomFaxPrinterLog* FaxPrinterLog();
  void SetFaxPrinterLog(TFxCustomFaxPrinterLog* log);
  QString FileName() const { return m_fileName; }
  void SetFileName(const QString& name);
  bool MultiPage() const { return m_multiPage; }
  void SetMultiPage(bool on) { m_multiPage = on; }
  TFaxPrintScale PrintScale() const { return m_printScale; }
  void SetPrintScale(TFaxPrintScale s) { m_printScale = s; }
  TFxAbstractFaxPrinterStatus* StatusDisplay();
  void SetStatusDisplay(TFxAbstractFaxPrinterStatus* display);
  TFaxPrnNextPageEvent OnNextPage;
  TFaxPLEvent OnFaxPrintLog;
  TFaxPrintStatusEvent OnFaxPrintStatus;

  int PagesInFile() const { return m_pagesInFile; }
  int FromPageNo() const { return m_fromPage; }
  int ToPageNo() const { return m_toPage; }
  void SetFromPageNo(int page) { m_fromPage = page; }
  void SetToPageNo(int page) { m_toPage = page; }
  int PrintingPage() const { return m_printingPage; }
  bool FileIsFine() const { return m_fileIsFine; }
  bool FileIsWide() const { return m_fileIsWide; }
  int PrintState() const { return m_printState; }

  // The system printer object: destination, page size, orientation, output file.
  QPrinter* Printer() const { return m_printer.get(); }

  bool SelectPages(QWidget* parent = nullptr); // the print dialog; true when confirmed
  void PrintDocument();
  void CancelPrinting();

  // Size of a bitmap printed into an area (device dots).
  static QSize PrintSize(QSize bitmap, QSize area, TFaxPrintScale scale);
  // The caption with its macros expanded for a page.
  QString ExpandMacros(const QString& caption, int page) const;
  // The part of a sheet that page i of a range starting at `from` takes.
  QRect PageArea(const QRect& sheet, int i, int from, bool landscape) const;

private:
  void setState(int state);
  void log(int code);
  void updateDisplay(bool first, bool last);
  bool printPage(QPainter& painter, int i);
  void drawMargin(QPainter& painter, TFxFaxPrinterMargin& margin, int page, QRect& area,
                  bool header);
  void endDocument(QPainter& painter);

  TFxFaxPrinterMargin m_header, m_footer;
  QPointer<TFxCustomFaxPrinterLog> m_log;
  QPointer<TFxAbstractFaxPrinterStatus> m_status;
  QString m_fileName;
  bool m_multiPage = false;
  TFaxPrintScale m_printScale = psFitToPage;
  int m_pagesInFile = 0, m_fromPage = 0, m_toPage = 0, m_printingPage = 0;
  bool m_fileIsFine = false, m_fileIsWide = false;
  int m_printState = ppIdle;
  bool m_docRunning = false;
  QPainter* m_painter = nullptr; // while a document runs
  std::unique_ptr<QPrinter> m_printer;
  faximage::TFxFaxUnpacker m_unpacker;
};

class TFxFaxPrinter : public TFxCustomFaxPrinter {
  Q_OBJECT
public:
  using TFxCustomFaxPrinter::TFxCustomFaxPrinter;
};

} // namespace faxview
