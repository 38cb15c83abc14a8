#include "faxview/TFaxViewer.h"

#include "widgets/WindowServices.h"
#include "faxview/ViewerGlyphs.h"

#include <QActionGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace faxview;

TFaxViewer::TFaxViewer(QWidget* parent) : QDialog(parent) {
  setObjectName("TFaxViewer");
  setWindowTitle("Fax Viewer ");
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(QFont("Arial", 8));
  buildButtons();
  buildPanels();
  buildMenu();
  FaxViewer = new TFxFaxViewer(this);
  FaxViewer->setObjectName("FaxViewer");
  FaxViewer->SetScaling(false);
  FaxViewer->SetAutoScaleMode(faximage::asHalfWidth);
  FaxViewer->SetBusyCursor(Qt::WaitCursor);
  QFont bold("Arial", 8);
  bold.setBold(true);
  FaxViewer->setFont(bold);
  connect(FaxViewer, &TFxFaxViewer::OnPageChange, this, [this] { FaxViewerPageChange(); });
  connect(FaxViewer, &TFxFaxViewer::OnViewerError, this,
          [this](int code) { FaxViewerViewerError(code); });
  connect(FaxViewer, &TFxFaxViewer::OnDropFile, this, [this] {
    m_zoom = 100;
    FaxViewer->SetScaling(false);
    UncheckZoomChoices();
    N100PercentItem->setChecked(true);
    UncheckRotationChoices();
    showPageText();
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(MainMenu);
  layout->addWidget(Panel2);
  layout->addWidget(FaxViewer, 1);
  layout->addWidget(Panel1);

  m_faxPrinter = new TFxFaxPrinter(this);
  m_faxPrinter->setObjectName("FaxPrinter");
  m_faxPrinter->SetCaption("FX Fax Printer");
  QFont small("Arial", 8);
  m_faxPrinter->FaxFooter()->SetCaption("Page: $P of $N");
  m_faxPrinter->FaxFooter()->SetEnabled(true);
  m_faxPrinter->FaxFooter()->SetFont(small);
  m_faxPrinter->FaxHeader()->SetCaption("FILE: $F");
  m_faxPrinter->FaxHeader()->SetEnabled(true);
  m_faxPrinter->FaxHeader()->SetFont(small);
  m_faxPrinter->SetMultiPage(false);
  PrinterStatus = new TFxFaxPrinterStatus(this);
  PrinterStatus->setObjectName("PrinterStatus");
  PrinterStatus->SetPosition(poScreenCenter);
  PrinterStatus->SetCtl3D(true);
  PrinterStatus->SetVisible(false);
  m_faxPrinter->SetStatusDisplay(PrinterStatus);

  resize(594, 386 + MainMenu->sizeHint().height());
  FormCreate();
}

TFaxViewer::~TFaxViewer() = default;

QToolButton* TFaxViewer::glyphButton(int glyph, const char* name, const QString& hint) {
  auto* b = new QToolButton(Panel2);
  b->setObjectName(name);
  b->setIcon(GlyphIcon(Glyph(glyph)));
  b->setIconSize(QSize(20, 20));
  b->setFixedSize(30, 30);
  b->setToolTip(hint);
  b->setStatusTip(hint);
  b->setAutoRaise(false);
  return b;
}

void TFaxViewer::buildButtons() {
  Panel2 = new QFrame(this);
  Panel2->setObjectName("Panel2");
  Panel2->setFixedHeight(45);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  FirstButton = glyphButton(int(Glyph::First), "FirstButton", "First page");
  PrevButton = glyphButton(int(Glyph::Previous), "PrevButton", "Previous page");
  NextButton = glyphButton(int(Glyph::Next), "NextButton", "Next page");
  LastButton = glyphButton(int(Glyph::Last), "LastButton", "Last page");
  PrinterSetupButton = glyphButton(int(Glyph::PrinterSetup), "PrinterSetupButton", "Printer setup");
  Printbutton = glyphButton(int(Glyph::Print), "Printbutton", "Print");
  ExplorerButton1 = glyphButton(int(Glyph::PrintPage), "ExplorerButton1", "Print current page");
  ZoomInButton = glyphButton(int(Glyph::ZoomIn), "ZoomInButton", "Zoom in");
  ZoomOutButton = glyphButton(int(Glyph::ZoomOut), "ZoomOutButton", "Zoom out");
  Helpbutton = new QPushButton("&Help", Panel2);
  Helpbutton->setObjectName("Helpbutton");
  Helpbutton->setStatusTip("Get Windows help for Fax Viewer");
  Helpbutton->setToolTip(Helpbutton->statusTip());
  CloseButton = new QPushButton("C&lose", Panel2);
  CloseButton->setObjectName("CloseButton");
  CloseButton->setStatusTip("Close the Fax Viewer");
  CloseButton->setToolTip(CloseButton->statusTip());
  CloseButton->setDefault(true);
  for (QPushButton* b : {Helpbutton, CloseButton})
    b->setFixedSize(75, 30);

  auto* row = new QHBoxLayout(Panel2);
  row->setContentsMargins(6, 6, 6, 6);
  row->setSpacing(2);
  for (QToolButton* b : {FirstButton, PrevButton, NextButton, LastButton}) {
    row->addWidget(b);
    b->setVisible(false);
  }
  row->addSpacing(8);
  for (QToolButton* b : {PrinterSetupButton, Printbutton, ExplorerButton1})
    row->addWidget(b);
  row->addSpacing(8);
  row->addWidget(ZoomInButton);
  row->addWidget(ZoomOutButton);
  row->addStretch(1);
  row->addWidget(Helpbutton);
  row->addWidget(CloseButton);

  connect(FirstButton, &QToolButton::clicked, this, [this] { FirstButtonClick(); });
  connect(PrevButton, &QToolButton::clicked, this, [this] { PrevButtonClick(); });
  connect(NextButton, &QToolButton::clicked, this, [this] { NextButtonClick(); });
  connect(LastButton, &QToolButton::clicked, this, [this] { LastButtonClick(); });
  connect(PrinterSetupButton, &QToolButton::clicked, this, [this] { PrinterSetupButtonClick(); });
  connect(Printbutton, &QToolButton::clicked, this, [this] { PrintButtonClick(); });
  connect(ExplorerButton1, &QToolButton::clicked, this, [this] { ExplorerButton1Click(); });
  connect(ZoomInButton, &QToolButton::clicked, this, [this] { ZoomInButtonClick(); });
  connect(ZoomOutButton, &QToolButton::clicked, this, [this] { ZoomOutButtonClick(); });
  connect(Helpbutton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
  connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
}

void TFaxViewer::buildPanels() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(50);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  status = new QLabel(Panel1);
  status->setObjectName("status");
  status->setAlignment(Qt::AlignCenter);
  status->setStyleSheet("color: blue");
  StatusPanel = new QLabel("Loading...", Panel1);
  StatusPanel->setObjectName("StatusPanel");
  StatusPanel->setFixedWidth(168);
  StatusPanel->setStyleSheet("color: blue");
  StatusPanel->setAlignment(Qt::AlignCenter);
  auto* row = new QHBoxLayout(Panel1);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(status, 1);
  row->addWidget(StatusPanel);
}

QAction* TFaxViewer::zoomItem(QMenu* menu, const char* name, int percent) {
  QAction* a = menu->addAction(QString::number(percent) + "%");
  a->setObjectName(name);
  a->setCheckable(true);
  connect(a, &QAction::triggered, this, [this, percent] { ZoomTo(percent); });
  return a;
}

QAction* TFaxViewer::rotationItem(QMenu* menu, const char* name, const QString& text, int turns) {
  QAction* a = menu->addAction(text);
  a->setObjectName(name);
  a->setCheckable(true);
  connect(a, &QAction::triggered, this, [this, turns] { RotateTo(turns); });
  return a;
}

void TFaxViewer::buildMenu() {
  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  QMenu* file = MainMenu->addMenu("&File");
  file->setObjectName("mnuFile");
  auto item = [&](const char* name, const QString& text, std::function<void()> fn) {
    QAction* a = file->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, fn);
    return a;
  };
  mnuExportPdf = item("mnuExportPdf", "Export as &PDF...", [this] { ExportFax(true, false); });
  mnuExportPagePdf =
      item("mnuExportPagePdf", "Export current page as P&DF...", [this] { ExportFax(true, true); });
  mnuExportTiff = item("mnuExportTiff", "Export as &TIFF...", [this] { ExportFax(false, false); });
  mnuExportPageTiff = item("mnuExportPageTiff", "Export current page as T&IFF...",
                           [this] { ExportFax(false, true); });
  file->addSeparator();
  mnuPrintToPdf = item("mnuPrintToPdf", "Print to PDF &file...", [this] { PrintToPdfFile(); });
  QMenu* view = MainMenu->addMenu("&View");
  view->setObjectName("mnuView");
  N25PercentItem = zoomItem(view, "N25PercentItem", 25);
  N50PercentItem = zoomItem(view, "N50PercentItem", 50);
  N75PercentItem = zoomItem(view, "N75PercentItem", 75);
  N100PercentItem = zoomItem(view, "N100PercentItem", 100);
  N150PercentItem = zoomItem(view, "N150PercentItem", 150);
  N200PercentItem = zoomItem(view, "N200PercentItem", 200);
  view->addSeparator();
  NoRotateItem = rotationItem(view, "NoRotateItem", "No rotation", 0);
  Rotate90Item = rotationItem(view, "Rotate90Item", "Rotate 90 degrees", 1);
  Rotate180Item = rotationItem(view, "Rotate180Item", "Rotate 180 degrees", 2);
  Rotate270Item = rotationItem(view, "Rotate270Item", "Rotate 270 degrees", 3);
}

void TFaxViewer::FormCreate() {
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
  m_zoom = 100;
  m_firstActivation = true;
  appwidgets::RestorePlacement(this);
  m_pageTitle.clear();
  UncheckZoomChoices();
  UncheckRotationChoices();
}

void TFaxViewer::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFaxViewer::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    appwidgets::SetHintTarget(status);
}

void TFaxViewer::done(int result) {
  appwidgets::SavePlacement(this);
  QDialog::done(result);
}
