// The main window's Send command: builds the fax file of the selected Sent
// record, runs the send dialog on it, takes the dialog's settings back and
// writes the outcome into the record.

#include "app/TMainScreen.h"

#include "app/FaxArchiveService.h"
#include "app/THelpWindow.h"
#include "core/SentFaxKey.h"
#include "widgets/HelpAndBeep.h"
#include "send/TSendFaxForm.h"
#include "core/Settings.h"
#include "platform/FxErrors.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"

#include <QDateTime>
#include <QFile>
#include <QTimer>

#include <functional>
#include <optional>

namespace {

// Shows the send dialog for the built file; returns the last result.
QString RunSendDialog(QWidget* owner, xbase::Table& table, const QString& faxFile,
                      const std::function<void()>& beforeShow) {
  TSendFaxForm form(owner);
  appwidgets::CenterForm(&form);
  form.SetFaxFile(faxFile);
  form.setWindowTitle("Send Fax: [" + appwidgets::FromAnsi(table.fieldString("RECIPIENT")) + " - " +
                      appwidgets::FromAnsi(table.fieldString("SUBJECT")) + "]");
  form.SetPhoneNumber(appwidgets::FromAnsi(table.fieldString("PHONE")));
  form.LoadSettings(app::Settings);
  appwidgets::CenterForm(&form);
  beforeShow();
  form.exec();
  const QString result = form.LastResult();
  form.StoreSettings(app::Settings);
  return result;
}

} // namespace

void TMainScreen::SendButtonClick() {
  if (!SelectCurrentSent()) {
    appwidgets::MessageBeep();
    return;
  }
  if (const auto kept = m_pendingOutcomes.find(m_faxTable.recNo());
      kept != m_pendingOutcomes.end() && kept->second.Succeeded()) {
    const long selected = m_faxTable.recNo();
    RetryPendingWrites();
    m_faxTable.go(selected);
    if (m_pendingOutcomes.count(selected) &&
        !appwidgets::AskYesNoDefaultNo(
            QStringLiteral("This fax was sent, but the table could not record it yet. Send it "
                           "again?"),
            QStringLiteral("Send"), this))
      return;
  }
  appwidgets::SetHelpHandler([this](int context) { ShowHelpTopic(context); });
  const long recNo = m_faxTable.recNo();
  std::optional<appwidgets::BusyCursor> hourglass(std::in_place);
  SetStatusText("Preparing files for viewing...");
  appwidgets::ProcessPendingEvents();
  QString faxFile;
  try {
    faxFile = CreateFaxFile();
  } catch (const std::exception& e) {
    // Building the file failed part-way (its files are gone already): a
    // short page file is never offered for sending.
    hourglass.reset();
    SetStatusText(QString());
    QString text = QString::fromLocal8Bit(e.what());
    if (ErrorCodeOf(e) == ecDiskFull)
      text = QStringLiteral("The fax pages could not be written (%1). Nothing was sent: free some "
                            "space and press Send again.")
                 .arg(text);
    appwidgets::ShowInfo(text, this);
    SetButtons();
    return;
  }
  if (faxFile.isEmpty()) {
    hourglass.reset();
    SetStatusText(QString());
    appwidgets::ShowInfo("Error creating fax file", this);
    SetButtons();
    return;
  }
  if (auto* archive = findChild<app::FaxArchiveService*>())
    archive->FaxSent(QFile::encodeName(faxFile).toStdString(), app::SentFaxKey(m_faxTable));
  const QString result = RunSendDialog(this, m_faxTable, faxFile, [&] {
    SetStatusText(QString());
    appwidgets::ProcessPendingEvents();
    hourglass.reset(); // the dialog is for the user to work in
  });
  m_buttonBar->setEnabled(true);
  try {
    app::SaveSettings();
  } catch (const std::exception& e) {
    appwidgets::ShowInfo(QString::fromLocal8Bit(e.what()), this);
  }
  QFile::remove(faxFile);
  const QDateTime now = QDateTime::currentDateTime();
  SetStatusText(QString());
  RecordSendOutcome(recNo, {LastFaxPages, appwidgets::ToAnsi(result),
                            now.date().toString("yyyyMMdd").toStdString(),
                            now.time().toString("HH:mm").toStdString()});
  RefreshLists();
  SetButtons();
}

// A result that cannot be written now (full disk, table held elsewhere) is
// kept and written at the next chance, and the status line says so: a fax
// that went out must never look unsent and be sent twice.
void TMainScreen::RecordSendOutcome(long recNo, const app::SendOutcome& outcome) {
  try {
    app::WriteSendOutcome(m_faxTable, recNo, outcome);
    m_pendingOutcomes.erase(recNo);
  } catch (const std::exception& e) {
    m_pendingOutcomes[recNo] = outcome;
    SetStatusText(
        QStringLiteral("The result \"") + appwidgets::FromAnsi(outcome.Result) +
        QStringLiteral("\" could not be recorded yet (") + QString::fromLocal8Bit(e.what()) +
        QStringLiteral("); it is kept and recorded as soon as the table can be written."));
    m_retryTimer->start();
  }
}

void TMainScreen::RetryPendingWrites() {
  if (!m_tablesOpen)
    return;
  const auto pending = m_pendingOutcomes;
  for (const auto& [recNo, outcome] : pending)
    RecordSendOutcome(recNo, outcome);
  if (m_unlistedReceived)
    ListUnlistedReceivedFaxes();
  if (m_pendingOutcomes.empty() && !m_unlistedReceived) {
    m_retryTimer->stop();
    if (!pending.empty())
      SetStatusText(QString());
  }
  if (!pending.empty())
    RefreshLists();
}
