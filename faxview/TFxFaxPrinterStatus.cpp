#include "faxview/TFxFaxPrinterStatus.h"

#include "faxview/TFxFaxPrinter.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace faxview {

TFxAbstractFaxPrinterStatus::TFxAbstractFaxPrinterStatus(QObject* owner) : QObject(owner) {}

void TFxAbstractFaxPrinterStatus::SetPosition(TStatusPosition p) {
  m_position = p;
  applyProperties();
}

void TFxAbstractFaxPrinterStatus::SetVisible(bool on) {
  m_visible = on;
  applyProperties();
}

void TFxAbstractFaxPrinterStatus::applyProperties() {
  if (!m_display)
    return;
  if (m_position == poScreenCenter) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
      QRect r = m_display->frameGeometry();
      r.moveCenter(screen->availableGeometry().center());
      m_display->move(r.topLeft());
    }
  }
  m_display->setVisible(m_visible);
}

// ------------------------------------------------------------- the window

TStandardFaxPrinterStatusDisplay::TStandardFaxPrinterStatusDisplay(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("TStandardFaxPrinterStatusDisplay");
  setWindowTitle("Print Status");
  setFixedSize(267, 225);
  auto* info = new QGroupBox("Fax Information", this);
  auto* grid = new QGridLayout(info);
  auto value = [&](const char* caption, const char* name, int row) {
    grid->addWidget(new QLabel(caption, info), row, 0);
    auto* label = new QLabel(info);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, 1);
    return label;
  };
  fpsFileName = value("Filename", "fpsFileName", 0);
  fpsTotalPages = value("Total Pages", "fpsTotalPages", 1);
  fpsResolution = value("Resolution", "fpsResolution", 2);
  fpsWidth = value("Width", "fpsWidth", 3);
  fpsFirstPage = value("First Page to Print", "fpsFirstPage", 4);
  fpsLastPage = value("Last Page to Print", "fpsLastPage", 5);
  grid->setVerticalSpacing(1);
  auto* status = new QGroupBox("Status", this);
  auto* statusLayout = new QVBoxLayout(status);
  fpsStatusLine = new QLabel("Idle", status);
  fpsStatusLine->setObjectName("fpsStatusLine");
  fpsStatusLine->setAlignment(Qt::AlignCenter);
  statusLayout->addWidget(fpsStatusLine);
  fpsAbortButton = new QPushButton("Abort", this);
  fpsAbortButton->setObjectName("fpsAbortButton");
  connect(fpsAbortButton, &QPushButton::clicked, this, [this] { fpsAbortButtonClick(); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addWidget(info);
  layout->addWidget(status);
  layout->addWidget(fpsAbortButton, 0, Qt::AlignHCenter);
}

void TStandardFaxPrinterStatusDisplay::fpsAbortButtonClick() {
  if (m_printer)
    m_printer->CancelPrinting();
}

void TStandardFaxPrinterStatusDisplay::UpdateValues() {
  if (!m_printer)
    return;
  TFxCustomFaxPrinter& p = *m_printer;
  fpsFileName->setText(QFileInfo(p.FileName()).fileName().toUpper());
  fpsTotalPages->setText(QString::number(p.PagesInFile()));
  fpsResolution->setText(p.FileIsFine() ? "high" : "standard");
  fpsWidth->setText(p.FileIsWide() ? "2048" : "1728");
  fpsFirstPage->setText(QString::number(p.FromPageNo()));
  fpsLastPage->setText(QString::number(p.ToPageNo()));
  fpsStatusLine->setText(QString::asprintf("%s %d of %d",
                                           PrintProgressWord(p.PrintState()).toLatin1().constData(),
                                           p.PrintingPage(), p.ToPageNo()));
}

// ------------------------------------------------------------- component

TFxFaxPrinterStatus::TFxFaxPrinterStatus(QObject* owner) : TFxAbstractFaxPrinterStatus(owner) {
  CreateDisplay();
}

TFxFaxPrinterStatus::~TFxFaxPrinterStatus() {
  DestroyDisplay();
}

void TFxFaxPrinterStatus::CreateDisplay() {
  if (!m_display)
    m_display = new TStandardFaxPrinterStatusDisplay(qobject_cast<QWidget*>(parent()));
  applyProperties();
}

void TFxFaxPrinterStatus::DestroyDisplay() {
  delete m_display.data();
}

void TFxFaxPrinterStatus::UpdateDisplay(bool first, bool last) {
  auto* display = qobject_cast<TStandardFaxPrinterStatusDisplay*>(m_display.data());
  if (!display)
    return;
  if (first) {
    display->SetFaxPrinter(FaxPrinter());
    display->UpdateValues();
    SetVisible(true);
  } else if (last) {
    SetVisible(false);
  } else {
    display->UpdateValues();
  }
}

} // namespace faxview
