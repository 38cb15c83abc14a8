// The main window's services for its own commands and for other windows:
// button states, selection, reopening a table.

#include "app/FaxTableModel.h"
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
  if (m_faxTable.isOpen() && m_faxTable.indexOrd() != faxOrder && !m_faxModel->Suspended())
    m_faxModel->Reload();
  if (m_recTable.isOpen() && m_recTable.indexOrd() != recOrder && !m_recModel->Suspended())
    m_recModel->Reload();

  const bool sentEmpty = m_faxModel->rowCount() == 0;
  const bool recEmpty = m_recModel->rowCount() == 0;
  const bool sentPage = CurrentPage() == 0;
  m_faxGrid->setEnabled(!sentEmpty);
  m_recFaxGrid->setEnabled(!recEmpty);

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

namespace {
bool selectCurrent(xbase::Table& table, app::FaxTableModel& model, QTableView& grid) {
  if (!table.isOpen() || model.rowCount() == 0)
    return false;
  int row = grid.currentIndex().isValid() ? grid.currentIndex().row() : 0;
  long recNo = model.RecNoAt(row);
  if (recNo <= 0)
    return false;
  try {
    table.go(recNo);
  } catch (const std::exception&) {
    return false;
  }
  return !table.isDeleted();
}
} // namespace

bool TMainScreen::SelectCurrentSent() {
  return selectCurrent(m_faxTable, *m_faxModel, *m_faxGrid);
}

bool TMainScreen::SelectCurrentReceived() {
  return selectCurrent(m_recTable, *m_recModel, *m_recFaxGrid);
}

void TMainScreen::TableCloseAndOpen(xbase::Table& table, app::FaxTableModel& model,
                                    QTableView& grid, bool (*open)(xbase::Table&)) {
  const long recNo = table.isOpen() ? table.recNo() : 0;
  model.Suspend();
  grid.setEnabled(false);
  table.close();
  // Pending painting and timers run, but no key or click: a command started
  // now would find the table closed.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (!open(table)) {
    appwidgets::ShowInfo(QStringLiteral("Unable to open the table again: ") +
                             QString::fromStdString(table.path()),
                         this);
    return;
  }
  try {
    table.setFilter(".not. deleted()");
    table.go(recNo);
  } catch (const std::exception&) {
    // The remembered record may be gone; the table stays where it is.
  }
  model.Reload();
  grid.setEnabled(model.rowCount() > 0);
  int row = model.RowOf(recNo, true);
  grid.setCurrentIndex(model.index(row >= 0 ? row : 0, 0));
  if (&table == &m_recTable)
    ListUnlistedReceivedFaxes();
}

void TMainScreen::FaxTableCloseAndOpen() {
  TableCloseAndOpen(m_faxTable, *m_faxModel, *m_faxGrid, app::OpenFaxDBF);
}

void TMainScreen::RecTableCloseAndOpen() {
  TableCloseAndOpen(m_recTable, *m_recModel, *m_recFaxGrid, app::OpenRecFaxDBF);
}

void TMainScreen::RefreshLists() {
  for (auto [model, grid] :
       {std::pair{m_faxModel.get(), m_faxGrid}, std::pair{m_recModel.get(), m_recFaxGrid}}) {
    const int row = grid->currentIndex().isValid() ? grid->currentIndex().row() : 0;
    model->Reload();
    if (model->rowCount() > 0)
      grid->setCurrentIndex(model->index(std::min(row, model->rowCount() - 1), 0));
  }
}
