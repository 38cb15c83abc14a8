#pragma once
// The list of a small table (cover templates, phone book) for a grid. It reads
// only the rows the view asks for, walking the table in its current order
// from the last row it read, and keeps no copy of the table.

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

namespace xbase {
class Table;
}

namespace compose {

struct TGridColumn {
  QString Title;
  std::string Field; // a character field, shown with trailing blanks removed
  int Width;         // display width in characters
};

class TTableGridModel final : public QAbstractTableModel {
  Q_OBJECT
  Q_DISABLE_COPY(TTableGridModel)

public:
  TTableGridModel(xbase::Table& table, std::vector<TGridColumn> columns, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Counts the rows again after the table changed (or was opened).
  void Refresh();
  // Makes the record shown in a row the table's current record.
  bool SelectRow(int row) const;
  // The row of the table's current record (-1 when none is current).
  int RowOfCurrent() const;
  int ColumnWidth(int column) const { return m_columns[std::size_t(column)].Width; }

private:
  bool tableUsable() const;

  xbase::Table& m_table;
  std::vector<TGridColumn> m_columns;
  int m_rows = 0;
  mutable int m_at = -1; // the row the table was last positioned on
  mutable long m_atRecNo = 0;
};

} // namespace compose

class QTableView;

namespace compose {

// A read-only grid with titles, an indicator column, resizable columns and
// grid lines showing the model; column widths follow the display widths.
void SetUpGrid(QTableView* grid, TTableGridModel* model);

// Selects the grid row of the table's current record (the first row when
// it is not listed) after the model was refreshed.
void ShowCurrentRow(QTableView* grid, const TTableGridModel* model);
// Makes the record of the grid's current row (or of its first row) the
// table's current record; false when the list is empty.
bool SelectGridRow(const QTableView* grid, const TTableGridModel* model);
// Counts the rows again and shows the given record (any, when 0 or gone)
// as the grid's current row.
void ShowRecord(QTableView* grid, TTableGridModel* model, xbase::Table& table, long recNo);

// Runs a table change; an engine error cancels the pending record buffer and
// is shown in the error box. True when the change went through.
bool TableAction(xbase::Table& table, const std::function<void()>& change, QWidget* parent);

} // namespace compose
