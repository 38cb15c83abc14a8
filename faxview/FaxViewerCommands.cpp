// The viewer window's commands: loading, page text, page buttons, zoom,
// rotation, printing, help and errors.
#include "faxview/TFaxViewer.h"

#include "widgets/HelpAndBeep.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "platform/FxErrors.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolButton>

#include <cmath>

using namespace faxview;

namespace {
constexpr int kZoomSteps[] = {25, 50, 75, 100, 150, 200};

void showErrorBox(QWidget* parent, const QString& text) {
  appwidgets::AskButtons(QMessageBox::Critical, "Error", text, QMessageBox::Ok, QMessageBox::Ok,
                         parent);
}
} // namespace

void TFaxViewer::FormActivate() {
  appwidgets::SetHintTarget(status);
  if (!m_firstActivation)
    return;
  m_firstActivation = false;
  if (layout())
    layout()->activate();
  SetFaxFile();
  // Without a printer only a print into a file (set on the printer) can work.
  const bool printable = !QPrinterInfo::availablePrinterNames().isEmpty() ||
                         !m_faxPrinter->Printer()->outputFileName().isEmpty();
  Printbutton->setEnabled(printable);
  PrinterSetupButton->setEnabled(printable);
  QApplication::restoreOverrideCursor();
  FaxViewer->setFocus();
}

void TFaxViewer::SetFaxFile() {
  FaxViewer->LockUpdates();
  FaxViewer->SetScaling(false);
  FaxViewer->SetHorizMult(1);
  FaxViewer->SetHorizDiv(1);
  FaxViewer->SetVertMult(1);
  FaxViewer->SetVertDiv(1);
  FaxViewer->UnlockUpdates();
  try {
    FaxViewer->SetFileName(m_faxFileName);
    FaxViewer->Engine().SetWordMarks(m_wordMarks);
  } catch (const std::exception&) {
    FaxViewer->SetFileName(QString());
    showErrorBox(this, "Error opening fax file");
    StatusPanel->setText("No file loaded");
    return;
  }
  const int pageWidth = FaxViewer->ShownPageWidth();
  int b = 100;
  if (pageWidth > FaxViewer->width())
    b = int(std::lround(double(FaxViewer->width()) / pageWidth * 150));
  const int zoom = b < 37     ? 25
                   : b <= 62  ? 50
                   : b <= 87  ? 75
                   : b <= 125 ? 100
                   : b <= 175 ? 150
                              : 200;
  ZoomTo(zoom);
  UncheckZoomChoices();
  for (QAction* a : {N25PercentItem, N50PercentItem, N75PercentItem, N100PercentItem,
                     N150PercentItem, N200PercentItem})
    a->setChecked(a->text() == QString::number(zoom) + "%");
  FaxViewer->Engine().ShowFirstWordMark();
  showPageText();
  const bool several = FaxViewer->PageTotal() > 1;
  for (QToolButton* button : {FirstButton, PrevButton, NextButton, LastButton})
    button->setVisible(several);
}

void TFaxViewer::showPageText() {
  if (!hasFile()) {
    StatusPanel->setText("No file loaded");
    return;
  }
  QString text = QString::asprintf("Page %d of %d", FaxViewer->ShownPage(), FaxViewer->PageTotal());
  if (!m_pageTitle.isEmpty())
    text = m_pageTitle + ": " + text;
  if (FaxViewer->Engine().PageDamaged())
    text += " (damaged)";
  StatusPanel->setText(text);
}

void TFaxViewer::FaxViewerPageChange() {
  showPageText();
}

void TFaxViewer::FaxViewerViewerError(int errorCode) {
  showErrorBox(this, QString::asprintf("Viewer error %d", errorCode));
  showPageText();
}

void TFaxViewer::FirstButtonClick() {
  FaxViewer->ShowFirstPage();
}
void TFaxViewer::PrevButtonClick() {
  FaxViewer->ShowPreviousPage();
}
void TFaxViewer::NextButtonClick() {
  FaxViewer->ShowNextPage();
}
void TFaxViewer::LastButtonClick() {
  FaxViewer->ShowLastPage();
}

void TFaxViewer::ZoomTo(int percent) {
  if (percent != m_zoom) {
    if (percent == 100) {
      FaxViewer->SetScaling(false);
    } else {
      FaxViewer->LockUpdates();
      FaxViewer->SetScaling(true);
      FaxViewer->SetHorizMult(unsigned(percent));
      FaxViewer->SetHorizDiv(100);
      FaxViewer->SetVertMult(unsigned(percent));
      FaxViewer->SetVertDiv(100);
      FaxViewer->UnlockUpdates();
    }
    m_zoom = percent;
  }
  UncheckZoomChoices();
  const int index = int(std::find(std::begin(kZoomSteps), std::end(kZoomSteps), percent) -
                        std::begin(kZoomSteps));
  QAction* items[] = {N25PercentItem,  N50PercentItem,  N75PercentItem,
                      N100PercentItem, N150PercentItem, N200PercentItem};
  if (index < 6)
    items[index]->setChecked(true);
}

void TFaxViewer::ZoomInButtonClick() {
  const int* step = std::upper_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoom);
  if (step == std::end(kZoomSteps))
    appwidgets::MessageBeep();
  else
    ZoomTo(*step);
}

void TFaxViewer::ZoomOutButtonClick() {
  const int* step = std::lower_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoom);
  if (step == std::begin(kZoomSteps))
    appwidgets::MessageBeep();
  else
    ZoomTo(*(step - 1));
}

void TFaxViewer::UncheckZoomChoices() {
  for (QAction* a : {N25PercentItem, N50PercentItem, N75PercentItem, N100PercentItem,
                     N150PercentItem, N200PercentItem})
    a->setChecked(false);
}

void TFaxViewer::RotateTo(int quarterTurns) {
  try {
    FaxViewer->SetQuarterTurns(quarterTurns);
  } catch (const std::exception& e) {
    showErrorBox(this, QString::fromStdString(e.what()));
  }
  UncheckRotationChoices();
  QAction* items[] = {NoRotateItem, Rotate90Item, Rotate180Item, Rotate270Item};
  items[quarterTurns & 3]->setChecked(true);
}

void TFaxViewer::UncheckRotationChoices() {
  for (QAction* a : {NoRotateItem, Rotate90Item, Rotate180Item, Rotate270Item})
    a->setChecked(false);
}

// Printing failures reach the user in the error box.
void TFaxViewer::printPages(int from, int to) {
  try {
    m_faxPrinter->SetPrintScale(psFitToPage);
    m_faxPrinter->SetFileName(FaxViewer->FileName());
    m_faxPrinter->SetFromPageNo(from);
    m_faxPrinter->SetToPageNo(to);
    m_faxPrinter->PrintDocument();
  } catch (const std::exception& e) {
    appwidgets::ShowError(QString::fromLocal8Bit(e.what()), this);
  }
}

void TFaxViewer::PrintButtonClick() {
  if (!hasFile())
    return;
  printPages(1, FaxViewer->PageTotal());
}

void TFaxViewer::ExplorerButton1Click() {
  if (!hasFile())
    return;
  printPages(FaxViewer->ShownPage(), FaxViewer->ShownPage());
}

void TFaxViewer::PrinterSetupButtonClick() {
  if (!hasFile())
    return;
  try {
    m_faxPrinter->SetFileName(FaxViewer->FileName());
    m_faxPrinter->SetFromPageNo(1);
    m_faxPrinter->SetToPageNo(m_faxPrinter->PagesInFile());
    m_faxPrinter->SelectPages(this);
  } catch (const std::exception& e) {
    appwidgets::ShowError(QString::fromLocal8Bit(e.what()), this);
  }
}

void TFaxViewer::CloseButtonClick() {
  done(2);
}

void TFaxViewer::HelpButtonClick() {
  appwidgets::ShowHelpContext(1021);
}
