// The main window's side of receive mode: the Receive/STOP button, each fax
// received becomes a Received record, a sound and a notification; a failed
// call is reported and the pages it brought are listed.

#include "app/FaxArchiveService.h"
#include "app/FaxListPane.h"
#include "app/ReceiveMode.h"
#include "app/ReceiveNotices.h"
#include "app/SipLineStatus.h"
#include "app/SipLines.h"
#include "app/TMainScreen.h"
#include "core/FaxStores.h"
#include "core/Settings.h"
#include "platform/ProgramDir.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

void TMainScreen::SetUpReceiveComponents() {
  m_receiveMode = new app::ReceiveMode(platform::ProgramDir(), this);
  connect(m_receiveMode, &app::ReceiveMode::StatusText, this, &TMainScreen::SetStatusText);
  connect(m_receiveMode, &app::ReceiveMode::FaxReceived, this, &TMainScreen::FaxReceived);
  connect(m_receiveMode, &app::ReceiveMode::FaxFailed, this, &TMainScreen::FaxReceiveFailed);
  connect(m_receiveMode, &app::ReceiveMode::Ended, this, &TMainScreen::ReceiveModeEnded);
  // The modems of SIP lines exist before receive mode or a send opens them;
  // made after receive mode, so that they end after it has let go of them.
  auto* sipLines = new app::SipLines(this);
  connect(sipLines, &app::SipLines::StatusText, this, &TMainScreen::SetStatusText);
  connect(sipLines, &app::SipLines::LineState, m_sipLineState, &app::SipLineStatus::SetLineState);
  sipLines->Update();
}

bool TMainScreen::Receiving() const {
  return m_receiveMode && m_receiveMode->Receiving();
}

bool TMainScreen::FaxInProgress() const {
  return m_receiveMode && m_receiveMode->FaxInProgress();
}

void TMainScreen::ReceiveButtonClick() {
  if (Receiving())
    StopReceiveMode();
  else
    StartReceiveMode();
}

void TMainScreen::SetReceiveButtonIdle() {
  m_receiveButton->setText(QStringLiteral("Receive"));
  m_receiveButton->setStatusTip(QStringLiteral("Start receiving faxes"));
  m_receiveButton->setToolTip(QStringLiteral("Start receiving faxes"));
}

void TMainScreen::StartReceiveMode() {
  appwidgets::BusyCursor busy;
  SetButtons();
  const QString failure = m_receiveMode->Start(app::Settings);
  if (failure.isEmpty()) {
    m_receiveButton->setText(QStringLiteral("STOP"));
    m_receiveButton->setStatusTip(QStringLiteral("Stop receiving faxes"));
    m_receiveButton->setToolTip(QStringLiteral("Stop receiving faxes"));
  } else {
    QApplication::restoreOverrideCursor();
    appwidgets::ShowInfo(failure, this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetReceiveButtonIdle();
  }
  SetButtons();
}

void TMainScreen::StopReceiveMode() {
  appwidgets::BusyCursor busy;
  m_receiveMode->Stop(app::Settings);
  SetReceiveButtonIdle();
  SetButtons();
}

void TMainScreen::ReceiveModeEnded(const QString& reason) {
  SetStatusText(reason);
  SetReceiveButtonIdle();
  SetButtons();
}

bool TMainScreen::ListReceivedFax(const app::ReceivedFax& fax, const std::string& notes) {
  // With the tables closed (the window is closing) the file stays in
  // receive/ and is listed at the next start.
  if (!m_recTable.isOpen())
    return false;
  app::ReceivedFaxEntry entry;
  entry.Date = fax.When.date().toString(QStringLiteral("yyyyMMdd")).toStdString();
  entry.Time = fax.When.time().toString(QStringLiteral("HH:mm")).toStdString();
  entry.From = fax.From;
  entry.Pages = fax.Pages;
  entry.FaxFile = std::filesystem::path(fax.File).filename().string();
  entry.Notes = notes;
  try {
    app::AppendReceivedFax(m_recTable, entry);
  } catch (const std::exception& e) {
    // The file is kept; the next reopening of the tables lists it.
    SetStatusText(QStringLiteral("A fax was received but could not be listed yet: ") +
                  QString::fromLocal8Bit(e.what()));
    m_unlistedReceived = true;
    m_retryTimer->start();
    return false;
  }
  appwidgets::ProcessPendingEvents();
  RecTableCloseAndOpen();
  appwidgets::ProcessPendingEvents();
  // After the table is open again: the reader's child process must not
  // catch the table's file open while it is being reopened.
  if (auto* archive = findChild<app::FaxArchiveService*>())
    archive->FaxArrived(fax.File);
  SetButtons();
  return true;
}

void TMainScreen::FaxReceived(const app::ReceivedFax& fax) {
  if (!ListReceivedFax(fax))
    return;
  PostMessage(FaxReceivedSoundMessage);
  app::NotifyFaxReceived(appwidgets::FromAnsi(fax.From), fax.Pages);
}

// Files in receive/ that no Received record names (a fax that arrived while
// the tables were closed, or whose record could not be written) become
// records, so that nothing received stays out of the list.
void TMainScreen::ListUnlistedReceivedFaxes() {
  if (!m_recTable.isOpen() || m_recTable.state() != xbase::TableState::Browse || FaxInProgress())
    return;
  std::vector<std::string> files;
  try {
    files = app::UnlistedReceivedFiles(m_recTable, platform::ProgramDir() + "receive");
  } catch (const std::exception&) {
    return;
  }
  int listed = 0;
  QString failure;
  for (const std::string& file : files) {
    try {
      app::AppendReceivedFax(m_recTable, app::EntryForReceivedFile(file));
      ++listed;
    } catch (const std::exception& e) {
      failure = QString::fromLocal8Bit(e.what());
      break;
    }
  }
  m_unlistedReceived = !failure.isEmpty();
  if (m_unlistedReceived)
    m_retryTimer->start();
  if (listed > 0) {
    m_receivedList->Reload();
    SetButtons();
  }
  if (!failure.isEmpty())
    SetStatusText(QStringLiteral("Received faxes could not be listed yet: ") + failure);
  else if (listed > 0)
    SetStatusText(QString::number(listed) +
                  (listed == 1 ? QStringLiteral(" received fax was found in the receive folder "
                                                "and added to the list")
                               : QStringLiteral(" received faxes were found in the receive "
                                                "folder and added to the list")));
}

// A call that failed after some pages arrived: those pages are listed, with
// a note that says the fax is incomplete, before the box is shown.
void TMainScreen::FaxReceiveFailed(const QString& reason, const app::ReceivedFax& kept) {
  QString text = QStringLiteral("Failed to receive incoming fax:\r\r") + reason;
  if (kept.Pages > 0) {
    const std::string note = ("Incomplete: " + appwidgets::ToAnsi(reason)).substr(0, 60);
    ListReceivedFax(kept, note);
    text += kept.Pages == 1 ? QStringLiteral("\r\rThe page that arrived is in the Received list.")
                            : QStringLiteral("\r\rThe %1 pages that arrived are in the Received "
                                             "list.")
                                  .arg(kept.Pages);
  }
  appwidgets::ShowInfo(text, this);
}

void TMainScreen::PlayReceivedSound() {
  app::PlayFaxSound(appwidgets::FromAnsi(app::Settings.WavFile), this);
}
