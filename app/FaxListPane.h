#pragma once
// One list of the main window (Sent or Received): a grid over a fax table
// through its item model, the selected row and the table's current record
// kept in step, and the table's reopening with the selection kept.

#include "app/FaxTableModel.h"

#include <QWidget>

#include <vector>

class QTableView;

namespace xbase {
class Table;
}

namespace app {

class FaxListPane : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY(FaxListPane)

public:
  // `pageName` and `gridName` are the object names of the page and its grid.
  FaxListPane(xbase::Table& table, std::vector<GridColumn> columns, const char* pageName,
              const char* gridName, QWidget* parent = nullptr);

  QTableView* Grid() const { return m_grid; }
  FaxTableModel& Model() { return m_model; }
  int RowCount() const;

  // Makes the selected row's record the table's current one. False when the
  // list is empty or the record is gone.
  bool SelectCurrent();
  // Selects the row of a record, if the list shows it.
  void SelectRecord(long recNo);

  // Reads the rows again; the selection stays on the same row number (the
  // last row when fewer remain).
  void Reload();
  // Shows no rows and keeps the grid off while the table is rewritten or
  // closed; Reload ends it.
  void Suspend();
  bool Suspended() const { return m_model.Suspended(); }
  // The grid takes the focus and clicks only while it has rows.
  void UpdateEnabled();

  // Closes the table and opens it again with `open`, on the record it was
  // on. False when it would not open again (the list stays suspended).
  bool CloseAndOpen(bool (*open)(xbase::Table&));

signals:
  // A row was double-clicked.
  void Activated();

private:
  xbase::Table& m_table;
  FaxTableModel m_model;
  QTableView* m_grid = nullptr;
};

} // namespace app
