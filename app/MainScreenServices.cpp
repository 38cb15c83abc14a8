// The main window's services for its own commands and for other windows:
// button states, selection, reopening a table.

#include "app/FaxListPane.h"
#include "app/TMainScreen.h"
#include "core/FaxTables.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace {

// A table is empty when it has no current record (its record number is one
// past the last record).
bool tableEmpty(const xbase::Table& table) {
  return !table.isOpen() || table.recNo() == table.recCount() + 1;
}

} // namespace

void TMainScreen::ResetTableOrder(xbase::Table& table, const char* tag) {
  if (!table.isOpen() || table.state() != xbase::TableState::Browse)
    return;
  try {
    const bool empty = tableEmpty(table);
    if (empty && table.indexOrd() != 0) {
      table.setOrder(0);
    } else if (!empty && table.indexOrd() == 0) {
      table.setOrder(std::string(tag));
      table.first();
    }
  } catch (const std::exception&) {
    // An order that cannot be selected leaves the list in the order it has.
  }
}

void TMainScreen::SetButtons() {
  const int faxOrder = m_faxTable.isOpen() ? m_faxTable.indexOrd() : -1;
  const int recOrder = m_recTable.isOpen() ? m_recTable.indexOrd() : -1;
  ResetTableOrder(m_faxTable, "DATESENT");
  ResetTableOrder(m_recTable, "DATETIME");
  // A changed order changes the rows: the lists read them again.
  if (m_faxTable.isOpen() && m_faxTable.indexOrd() != faxOrder && !m_sentList->Suspended())
    m_sentList->Reload();
  if (m_recTable.isOpen() && m_recTable.indexOrd() != recOrder && !m_receivedList->Suspended())
    m_receivedList->Reload();

  const bool sentEmpty = m_sentList->RowCount() == 0;
  const bool recEmpty = m_receivedList->RowCount() == 0;
  const bool sentPage = CurrentPage() == 0;
  m_sentList->UpdateEnabled();
  m_receivedList->UpdateEnabled();

  m_newButton->setEnabled(sentPage);
  m_cloneButton->setEnabled(sentPage && !sentEmpty);
  m_sendButton->setEnabled(sentPage && !sentEmpty && !Receiving());
  m_mnuRebuildIndexes->setEnabled(!Receiving());
  m_mnuPreferences->setEnabled(!Receiving());
  m_mnuModemReset->setEnabled(!Receiving());
  m_receiveButton->setEnabled(true);
  m_mnuReceive->setEnabled(true);
  if (sentPage) {
    m_editButton->setEnabled(!sentEmpty);
    m_deleteButton->setEnabled(!sentEmpty);
    m_viewFaxButton->setEnabled(!sentEmpty);
  } else {
    m_editButton->setEnabled(!Receiving() && !recEmpty);
    m_deleteButton->setEnabled(!Receiving() && !recEmpty);
    m_viewFaxButton->setEnabled(!recEmpty);
  }
  m_mnuViewPrint->setEnabled(m_viewFaxButton->isEnabled());
  m_mnuNew->setEnabled(m_newButton->isEnabled());
  m_mnuClone->setEnabled(m_cloneButton->isEnabled());
  m_mnuSend->setEnabled(m_sendButton->isEnabled());
  m_mnuEdit->setEnabled(m_editButton->isEnabled());
  m_mnuDelete->setEnabled(m_deleteButton->isEnabled());
}

bool TMainScreen::SelectCurrentSent() {
  return m_sentList->SelectCurrent();
}

bool TMainScreen::SelectCurrentReceived() {
  return m_receivedList->SelectCurrent();
}

void TMainScreen::FaxTableCloseAndOpen() {
  if (!m_sentList->CloseAndOpen(app::OpenFaxDBF))
    appwidgets::ShowInfo(QStringLiteral("Unable to open the table again: ") +
                             QString::fromStdString(m_faxTable.path()),
                         this);
}

void TMainScreen::RecTableCloseAndOpen() {
  if (!m_receivedList->CloseAndOpen(app::OpenRecFaxDBF)) {
    appwidgets::ShowInfo(QStringLiteral("Unable to open the table again: ") +
                             QString::fromStdString(m_recTable.path()),
                         this);
    return;
  }
  ListUnlistedReceivedFaxes();
}

void TMainScreen::RefreshLists() {
  m_sentList->Reload();
  m_receivedList->Reload();
}
