// The main window's Send command: builds the fax file of the selected Sent
// record, runs the send dialog on it, takes the dialog's settings back and
// writes the outcome into the record.

#include "app/TMainScreen.h"

#include "app/THelpWindow.h"
#include "app/core/Settings.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/WindowServices.h"
#include "compose/SendServices.h"
#include "compose/TSendFaxForm.h"

#include <QDateTime>
#include <QFile>

#include <functional>
#include <optional>

namespace {

// The record's outcome: what the last attempt left, and the pages built.
void WriteOutcome(xbase::Table& table, int pages, const QString& result) {
  table.edit();
  table.setNumber("PAGES", pages);
  table.setField("LASTRESULT", appwidgets::ToAnsi(result));
  const QString upper = result.toUpper();
  if (upper == "SENT" || upper == "OK") {
    const QDateTime now = QDateTime::currentDateTime();
    table.setLogical("SENT", true);
    table.setDate("DATESENT", now.date().toString("yyyyMMdd").toStdString());
    table.setField("TIMESENT", now.time().toString("HH:mm").toStdString());
  }
  table.post();
}

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
    compose::MessageBeep();
    return;
  }
  compose::SetHelpHandler([this](int context) { ShowHelpTopic(context); });
  const long recNo = m_faxTable.recNo();
  std::optional<appwidgets::BusyCursor> hourglass(std::in_place);
  SetStatusText("Preparing files for viewing...");
  appwidgets::ProcessPendingEvents();
  QString faxFile;
  try {
    faxFile = CreateFaxFile();
  } catch (const std::exception& e) {
    // Building the file failed part-way (its files are gone already).
    hourglass.reset();
    SetStatusText(QString());
    appwidgets::ShowInfo(QString::fromLocal8Bit(e.what()), this);
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
  if (recNo > 0)
    m_faxTable.go(recNo);
  WriteOutcome(m_faxTable, LastFaxPages, result);
  SetStatusText(QString());
  RefreshLists();
  SetButtons();
}
