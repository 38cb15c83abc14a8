#include "compose/TableGridModel.h"

#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <cstdlib>

namespace compose {

TTableGridModel::TTableGridModel(xbase::Table& table, std::vector<TGridColumn> columns,
                                 QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(std::move(columns)) {}

bool TTableGridModel::tableUsable() const {
  return m_table.isOpen() && m_table.state() == xbase::TableState::Browse;
}

int TTableGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int TTableGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(m_columns.size());
}

void TTableGridModel::Refresh() {
  beginResetModel();
  m_rows = tableUsable() ? int(m_table.queryRecCount()) : 0;
  m_at = -1;
  endResetModel();
}

bool TTableGridModel::SelectRow(int row) const {
  if (row < 0 || row >= m_rows || !tableUsable())
    return false;
  // Walk from the row read last when it is still where the table stands,
  // otherwise from the top.
  if (m_at < 0 || m_table.recNo() != m_atRecNo || std::abs(row - m_at) > row) {
    m_table.first();
    m_at = 0;
  }
  m_table.skip(row - m_at);
  if (m_table.eof() || m_table.bof()) {
    m_at = -1;
    return false;
  }
  m_at = row;
  m_atRecNo = m_table.recNo();
  return true;
}

int TTableGridModel::RowOfCurrent() const {
  if (!tableUsable() || m_table.recNo() > m_table.recCount())
    return -1;
  if (m_at >= 0 && m_table.recNo() == m_atRecNo)
    return m_at;
  const long target = m_table.recNo();
  for (int row = 0; row < m_rows; ++row)
    if (SelectRow(row) && m_table.recNo() == target)
      return row;
  return -1;
}

QVariant TTableGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || !SelectRow(index.row()))
    return {};
  return appwidgets::FromAnsi(m_table.fieldString(m_columns[std::size_t(index.column())].Field));
}

QVariant TTableGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
    return {};
  if (role == Qt::DisplayRole)
    return m_columns[std::size_t(section)].Title;
  return {};
}

} // namespace compose

#include "widgets/MessageBoxes.h"

#include <QHeaderView>
#include <QTableView>

namespace compose {

void SetUpGrid(QTableView* grid, TTableGridModel* model) {
  grid->setModel(model);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setShowGrid(true);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  // The indicator column: an empty row header that marks the current row.
  grid->verticalHeader()->setFixedWidth(14);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  const int charWidth = grid->fontMetrics().averageCharWidth();
  for (int c = 0; c < model->columnCount(); ++c)
    grid->setColumnWidth(c, charWidth * model->ColumnWidth(c) + 8);
}

void ShowCurrentRow(QTableView* grid, const TTableGridModel* model) {
  if (model->rowCount() == 0)
    return;
  const int row = std::max(0, model->RowOfCurrent());
  grid->setCurrentIndex(model->index(row, 0));
}

bool SelectGridRow(const QTableView* grid, const TTableGridModel* model) {
  const QModelIndex current = grid->currentIndex();
  return model->SelectRow(current.isValid() ? current.row() : 0);
}

void ShowRecord(QTableView* grid, TTableGridModel* model, xbase::Table& table, long recNo) {
  model->Refresh();
  if (recNo > 0 && recNo <= table.recCount()) {
    try {
      table.go(recNo);
    } catch (const std::exception&) {
    }
  }
  ShowCurrentRow(grid, model);
}

bool TableAction(xbase::Table& table, const std::function<void()>& change, QWidget* parent) {
  try {
    change();
    return true;
  } catch (const std::exception& e) {
    if (table.isOpen() && table.state() != xbase::TableState::Browse)
      table.cancel();
    appwidgets::ShowError(QString::fromLocal8Bit(e.what()), parent);
    return false;
  }
}

} // namespace compose
