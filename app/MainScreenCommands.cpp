// The main window's record commands: New, Clone, Edit, Delete, View.

#include "app/FaxListPane.h"
#include "app/TEditReceiveNotes.h"
#include "app/TMainScreen.h"
#include "core/FaxStores.h"
#include "app/FaxSearchBar.h"
#include "faxview/TFaxViewer.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include <filesystem>

namespace {
QString receivedFilePath(const xbase::Table& table) {
  return QString::fromStdString(platform::ProgramDir() + "receive/" + table.fieldString("FAXFILE"));
}
} // namespace

void TMainScreen::NotAvailableYet(const QString& what) {
  appwidgets::ShowInfo(what + QStringLiteral(" is not available yet in this build."), this);
}

void TMainScreen::NewbuttonClick() {
  RunNew(m_cloneMode);
  m_cloneMode = false;
  SetButtons();
}

void TMainScreen::CloneButtonClick() {
  if (!SelectCurrentSent()) {
    QApplication::beep();
    return;
  }
  m_cloneMode = true;
  NewbuttonClick();
}

void TMainScreen::EditButtonClick() {
  if (CurrentPage() == 0)
    EditSentFax();
  else
    EditReceivedFax();
  SetButtons();
}

void TMainScreen::EditReceivedFax() {
  if (!SelectCurrentReceived()) {
    QApplication::beep();
    return;
  }
  const long recNo = m_recTable.recNo();
  TEditReceiveNotes notes(this);
  appwidgets::CenterForm(&notes);
  notes.Notes()->setText(appwidgets::FromAnsi(m_recTable.fieldString("NOTES")));
  notes.Descript()->setText(QStringLiteral("From: ") +
                            appwidgets::FromAnsi(m_recTable.fieldString("FROM")));
  notes.Store = [&] {
    app::WriteReceivedNotes(m_recTable, recNo, appwidgets::ToAnsi(notes.Notes()->text()));
  };
  if (notes.exec() != 1)
    return;
  m_receivedList->Reload();
}

void TMainScreen::DeleteButtonClick() {
  if (CurrentPage() == 1)
    DeleteReceivedFax();
  else
    DeleteSentFax();
}

void TMainScreen::DeleteReceivedFax() {
  if (!SelectCurrentReceived()) {
    QApplication::beep();
    return;
  }
  const QString question = QStringLiteral("Delete the current fax?\r\n(from: \"") +
                           appwidgets::FromAnsi(m_recTable.fieldString("FROM")) +
                           QStringLiteral("\")");
  if (appwidgets::AskYesNoDefaultNo(question, QStringLiteral("Delete"), this)) {
    const bool hasFile = !m_recTable.fieldString("FAXFILE").empty();
    const QString path = receivedFilePath(m_recTable);
    m_recTable.deleteRecord();
    RefreshLists();
    // A missing file is fine; a record without a file name names no file.
    if (hasFile)
      QFile::remove(path);
  }
  SetButtons();
}

void TMainScreen::DeleteSentFax() {
  if (!SelectCurrentSent()) {
    QApplication::beep();
    return;
  }
  const QString question = QStringLiteral("Delete the current fax?\r\n(subject: \"") +
                           appwidgets::FromAnsi(m_faxTable.fieldString("SUBJECT")) +
                           QStringLiteral("\")");
  if (appwidgets::AskYesNoDefaultNo(question, QStringLiteral("Delete"), this)) {
    m_faxTable.deleteRecord();
    RefreshLists();
  }
  SetButtons();
}

void TMainScreen::mnuViewPrintClick() {
  const bool received = CurrentPage() == 1;
  if (!(received ? SelectCurrentReceived() : SelectCurrentSent())) {
    QApplication::beep();
    return;
  }
  {
    appwidgets::BusyCursor busy;
    SetStatusText(QStringLiteral("Preparing files for viewing..."));
    appwidgets::ProcessPendingEvents();
    try {
      ViewSelectedFax();
    } catch (const std::exception& e) {
      QApplication::restoreOverrideCursor();
      appwidgets::ShowInfo(appwidgets::FromAnsi(e.what()), this);
      QApplication::setOverrideCursor(Qt::WaitCursor);
    }
  }
  SetStatusText(QString());
  m_buttonBar->setEnabled(true);
  SetButtons();
}

void TMainScreen::ViewSelectedFax() {
  const bool received = CurrentPage() == 1;
  QString path;
  QString caption;
  if (received) {
    path = receivedFilePath(m_recTable);
    if (m_recTable.fieldString("FAXFILE").empty() || !QFileInfo(path).isFile()) {
      QApplication::restoreOverrideCursor();
      appwidgets::ShowInfo(QStringLiteral("Fax file is missing"), this);
      QApplication::setOverrideCursor(Qt::WaitCursor);
      return;
    }
    caption = appwidgets::FromAnsi(m_recTable.fieldString("FROM"));
    const QString notes = appwidgets::FromAnsi(m_recTable.fieldString("NOTES"));
    if (!notes.isEmpty())
      caption += QStringLiteral(" - ") + notes;
  } else {
    path = CreateFaxFile();
    if (path.isEmpty()) {
      QApplication::restoreOverrideCursor();
      appwidgets::ShowInfo(QStringLiteral("Error creating fax file"), this);
      QApplication::setOverrideCursor(Qt::WaitCursor);
      return;
    }
    caption = appwidgets::FromAnsi(m_faxTable.fieldString("RECIPIENT")) + QStringLiteral(" - ") +
              appwidgets::FromAnsi(m_faxTable.fieldString("SUBJECT"));
  }
  SetStatusText(QStringLiteral("Loading viewer..."));
  appwidgets::ProcessPendingEvents();
  {
    TFaxViewer viewer(this);
    viewer.SetFaxFileName(path);
    if (const auto* search = findChild<app::FaxSearchBar*>())
      viewer.SetWordMarks(received ? search->MarksIn(m_recTable.fieldString("FAXFILE"))
                                   : search->MarksInSent(m_faxTable));
    viewer.FaxPrinter()->FaxHeader()->SetCaption(caption);
    SetStatusText(QString());
    QApplication::restoreOverrideCursor();
    viewer.exec();
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  if (!received)
    QFile::remove(path);
}
