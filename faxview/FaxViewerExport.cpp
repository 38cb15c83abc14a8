// The viewer window's File menu: the fax (or its current page) exported as
// a multi-page PDF or G3 TIFF file, and a print of all pages with header
// and footer lines into a PDF file for those who have no printer.
#include "faxview/TFaxViewer.h"

#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "faxexport/FaxExport.h"

#include <QFileInfo>
#include <QPrinter>

using namespace faxview;

namespace {
QString suggestedName(const QString& faxFile, const char* extension) {
  const QFileInfo info(faxFile);
  return info.absolutePath() + "/" + info.completeBaseName() + extension;
}
} // namespace

void TFaxViewer::ExportFax(bool pdf, bool currentPageOnly) {
  if (!hasFile())
    return;
  const QString out =
      appwidgets::GetSaveFileName(this, pdf ? "Export as PDF" : "Export as TIFF",
                                  suggestedName(FaxViewer->FileName(), pdf ? ".pdf" : ".tif"),
                                  pdf ? "PDF files (*.pdf)" : "TIFF files (*.tif *.tiff)");
  if (out.isEmpty())
    return;
  const int first = currentPageOnly ? FaxViewer->ShownPage() : 1;
  const int last = currentPageOnly ? FaxViewer->ShownPage() : FaxViewer->PageTotal();
  try {
    appwidgets::BusyCursor busy;
    faxexport::ExportFax(FaxViewer->FileName().toStdString(), first, last, out.toStdString(),
                         pdf ? faxexport::ExportFormat::Pdf : faxexport::ExportFormat::Tiff);
  } catch (const std::exception& e) {
    appwidgets::ShowError(QString::fromLocal8Bit(e.what()), this);
  }
}

void TFaxViewer::PrintToPdfFile() {
  if (!hasFile())
    return;
  const QString out = appwidgets::GetSaveFileName(
      this, "Print to PDF file", suggestedName(FaxViewer->FileName(), ".pdf"), "PDF files (*.pdf)");
  if (out.isEmpty())
    return;
  QPrinter* printer = m_faxPrinter->Printer();
  const QPrinter::OutputFormat format = printer->outputFormat();
  const QString previous = printer->outputFileName();
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(out);
  printPages(1, FaxViewer->PageTotal());
  printer->setOutputFileName(previous);
  if (previous.isEmpty())
    printer->setOutputFormat(format);
}
