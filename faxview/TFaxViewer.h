#pragma once
// TFaxViewer: the modal window in which a fax file is looked at page by
// page, zoomed, turned, printed (all pages or the current one) and exported
// as PDF or TIFF. The caller sets the file name and the printer's header
// caption, shows it modally and deletes the file afterwards.

#include "faxview/TFxFaxPrinter.h"
#include "faxview/TFxFaxPrinterStatus.h"
#include "faxview/TFxFaxViewer.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;

namespace appwidgets {
class HintRedirect;
}

class TFaxViewer : public QDialog {
  Q_OBJECT
public:
  explicit TFaxViewer(QWidget* parent = nullptr);
  ~TFaxViewer() override;
  Q_DISABLE_COPY(TFaxViewer)

  // The APF file to show; set before the window is shown.
  void SetFaxFileName(const QString& name) { m_faxFileName = name; }
  QString FaxFileName() const { return m_faxFileName; }
  faxview::TFxFaxPrinter* FaxPrinter() const { return m_faxPrinter; }
  // Text put before the page text ("title: Page 1 of 3"); empty by default.
  void SetPageTitle(const QString& title) { m_pageTitle = title; }
  int Zoom() const { return m_zoom; }
  // Words to mark in the file set above (the words a search found in it).
  void SetWordMarks(std::vector<faxview::WordMark> marks) { m_wordMarks = std::move(marks); }


  // Components, named as in the window's design.
  QFrame* Panel2;
  QToolButton* FirstButton;
  QToolButton* PrevButton;
  QToolButton* NextButton;
  QToolButton* LastButton;
  QToolButton* PrinterSetupButton;
  QToolButton* Printbutton;
  QToolButton* ExplorerButton1;
  QToolButton* ZoomInButton;
  QToolButton* ZoomOutButton;
  QPushButton* Helpbutton;
  QPushButton* CloseButton;
  faxview::TFxFaxViewer* FaxViewer;
  QFrame* Panel1;
  QLabel* status;
  QLabel* StatusPanel;
  faxview::TFxFaxPrinter* m_faxPrinter;
  faxview::TFxFaxPrinterStatus* PrinterStatus;
  QMenuBar* MainMenu;
  QAction* N25PercentItem;
  QAction* N50PercentItem;
  QAction* N75PercentItem;
  QAction* N100PercentItem;
  QAction* N150PercentItem;
  QAction* N200PercentItem;
  QAction* NoRotateItem;
  QAction* Rotate90Item;
  QAction* Rotate180Item;
  QAction* Rotate270Item;
  QAction* mnuExportPdf;
  QAction* mnuExportPagePdf;
  QAction* mnuExportTiff;
  QAction* mnuExportPageTiff;
  QAction* mnuPrintToPdf;

  // Handlers.
  void FormCreate();
  void FormActivate();
  void FormResize() {}
  void SetFaxFile();
  void FaxViewerPageChange();
  void FaxViewerViewerError(int errorCode);
  void FirstButtonClick();
  void PrevButtonClick();
  void NextButtonClick();
  void LastButtonClick();
  void PrinterSetupButtonClick();
  void PrintButtonClick();
  void ExplorerButton1Click();
  void ZoomInButtonClick();
  void ZoomOutButtonClick();
  void CloseButtonClick();
  void HelpButtonClick();
  void ZoomTo(int percent);        // the N25PercentItemClick ... N200PercentItemClick handlers
  void RotateTo(int quarterTurns); // NoRotateItemClick ... Rotate270ItemClick
  void UncheckZoomChoices();
  void UncheckRotationChoices();
  void ExportFax(bool pdf, bool currentPageOnly);
  void PrintToPdfFile();

protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void done(int result) override;
  void reject() override { done(2); } // Escape is the Close button

private:
  void buildButtons();
  void buildMenu();
  void buildPanels();
  QToolButton* glyphButton(int glyph, const char* name, const QString& hint);
  QAction* zoomItem(QMenu* menu, const char* name, int percent);
  QAction* rotationItem(QMenu* menu, const char* name, const QString& text, int turns);
  void printPages(int from, int to);
  bool hasFile() const { return !FaxViewer->FileName().isEmpty(); }
  void showPageText();

  QString m_faxFileName;
  QString m_pageTitle;
  std::vector<faxview::WordMark> m_wordMarks;
  int m_zoom = 100;
  bool m_firstActivation = true;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
};
