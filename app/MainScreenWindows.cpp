// The main window's commands that open other windows: the fax editor, cover
// sheets, phone book, preferences, modem reset, maintenance, help, about.

#include "app/FaxTableModel.h"
#include "app/THelpWindow.h"
#include "app/TMainScreen.h"
#include "app/TRebuildInd.h"
#include "app/TSplashform.h"
#include "app/core/FaxTables.h"
#include "app/core/Settings.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/WindowServices.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTableView>

void TMainScreen::RunNew(bool cloneMode) {
  if (cloneMode && !SelectCurrentSent())
    return;
  NotAvailableYet(QStringLiteral("The fax editor"));
}

void TMainScreen::EditSentFax() {
  if (!SelectCurrentSent()) {
    QApplication::beep();
    return;
  }
  NotAvailableYet(QStringLiteral("The fax editor"));
}

QString TMainScreen::CreateFaxFile() {
  LastFaxPages = 0;
  return QString();
}

void TMainScreen::mnuCoverClick() {
  NotAvailableYet(QStringLiteral("Cover sheet templates"));
}

void TMainScreen::mnuPhoneBookClick() {
  NotAvailableYet(QStringLiteral("The phone book"));
}

void TMainScreen::mnuPreferencesClick() {
  NotAvailableYet(QStringLiteral("The preferences dialog"));
  SetButtons();
}

void TMainScreen::mnuModemResetClick() {
  NotAvailableYet(QStringLiteral("Modem reset"));
  SetButtons();
}

void TMainScreen::mnuNewFromFileClick() {
  NotAvailableYet(QStringLiteral("Making a fax from a file"));
}

void TMainScreen::OpenFaxFile(const QString& path) {
  Q_UNUSED(path);
  mnuNewFromFileClick();
}

void TMainScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void TMainScreen::dropEvent(QDropEvent* event) {
  const auto urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile())
    return;
  event->acceptProposedAction();
  OpenFaxFile(urls.front().toLocalFile());
}

void TMainScreen::mnuRebuildIndexesClick() {
  if (m_receiving)
    return;
  m_faxModel->Suspend();
  m_recModel->Suspend();
  m_faxGrid->setEnabled(false);
  m_recFaxGrid->setEnabled(false);
  {
    TRebuildInd rebuild(this);
    appwidgets::CenterForm(&rebuild);
    rebuild.exec();
  }
  m_faxModel->Reload();
  m_recModel->Reload();
  SetButtons();
}

void TMainScreen::ShowHelpTopic(int context) {
  THelpWindow::ShowTopic(context, this);
}

void TMainScreen::Contents1Click() {
  ShowHelpTopic(1009);
}

void TMainScreen::TroubleshootingTips1Click() {
  ShowHelpTopic(1026);
}

void TMainScreen::mnuShowHintClick() {
  const bool on = m_mnuShowHint->isChecked();
  app::Settings.HintsOn = on;
  app::SaveSettings();
  appwidgets::SetHintsShown(on);
  m_status->clear();
}

void TMainScreen::About1Click() {
  TSplashform about(this);
  appwidgets::CenterForm(&about);
  about.exec();
}
