#pragma once
// A list model over an open fax table that reads only the rows a view asks
// for. Rows are fetched in blocks of BlockRows records by walking the table
// in its current order from the nearest known position (the top, the bottom
// or the last block read), and at most MaxBlocks blocks are kept: scrolling
// the whole list never holds more than a few hundred records in memory.

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace xbase {
class Table;
}

namespace app {

struct GridColumn {
  QString Title;
  // Display text of the column for the current record of the table.
  std::function<QString(const xbase::Table&)> Text;
  int Width; // in characters
  // A typical text of the column, when its width depends on the locale (dates).
  QString Sample = {};
};

class FaxTableModel final : public QAbstractTableModel {
  Q_OBJECT
  Q_DISABLE_COPY(FaxTableModel)

public:
  static constexpr int BlockRows = 64;
  static constexpr int MaxBlocks = 8;

  FaxTableModel(xbase::Table& table, std::vector<GridColumn> columns, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The record number shown in a row, 0 when the row cannot be read.
  long RecNoAt(int row) const;
  // The row that shows a record, -1 when it is not among the rows read so far
  // (it is searched for in the table when `search` is set).
  int RowOf(long recNo, bool search = false) const;
  const std::vector<GridColumn>& Columns() const { return m_columns; }

  // Forget everything read and count the rows again (after any change of the
  // table's contents or order). While suspended the model shows no rows and
  // never touches the table (it is closed or being edited).
  void Reload();
  void Suspend();
  // Shows only the records keep() accepts, in the table's order: the whole
  // table is read through once here and at every Reload. An empty function
  // shows every record again.
  void SetFilter(std::function<bool(const xbase::Table&)> keep);
  bool Filtered() const { return static_cast<bool>(m_keep); }
  bool Suspended() const { return m_suspended; }
  // Blocks read from the table since the last Reload (for tests and the
  // benchmark: how much scrolling read).
  int BlocksRead() const { return m_blocksRead; }
  int BlocksHeld() const { return static_cast<int>(m_blocks.size()); }

private:
  struct Row {
    long RecNo = 0;
    QStringList Cells;
  };
  using Block = std::vector<Row>;

  const Row* RowAt(int row) const;
  void ReadBlock(int block) const;
  bool PositionAt(int row) const;
  bool TableUsable() const;
  void CollectKept();

  xbase::Table& m_table;
  std::vector<GridColumn> m_columns;
  int m_rowCount = 0;
  bool m_suspended = true;
  mutable std::map<int, Block> m_blocks;
  mutable std::vector<int> m_useOrder; // block numbers, least recently used first
  mutable int m_blocksRead = 0;
  // The last block end the table was left at: (row, recNo).
  mutable int m_anchorRow = -1;
  mutable long m_anchorRecNo = 0;
  std::function<bool(const xbase::Table&)> m_keep;
  std::vector<long> m_kept; // the records shown while filtered
};

// The columns of the Sent and Received lists.
std::vector<GridColumn> SentColumns();
std::vector<GridColumn> ReceivedColumns();

// "Yes" when SENT is true, else "No " (the calculated "Sent" column).
QString SentYesNo(const xbase::Table& table);

} // namespace app
