#include "app/FaxTableModel.h"

#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <cstdlib>

namespace app {

namespace {

QString textField(const xbase::Table& table, const char* field) {
  return appwidgets::FromAnsi(table.fieldString(field)).trimmed();
}

QString dateField(const xbase::Table& table, const char* field) {
  const std::string stored = table.fieldDate(field);
  if (stored.empty())
    return {};
  QDate date = QDate::fromString(QString::fromLatin1(stored.c_str()), QStringLiteral("yyyyMMdd"));
  return date.isValid() ? QLocale().toString(date, QLocale::ShortFormat)
                        : QString::fromLatin1(stored.c_str());
}

GridColumn text(const char* title, const char* field, int width) {
  return {QString::fromLatin1(title),
          [field](const xbase::Table& t) { return textField(t, field); }, width};
}

GridColumn date(const char* title, const char* field) {
  return {QString::fromLatin1(title),
          [field](const xbase::Table& t) { return dateField(t, field); }, 10,
          QLocale().toString(QDate(2000, 12, 28), QLocale::ShortFormat)};
}

} // namespace

QString SentYesNo(const xbase::Table& table) {
  return table.fieldLogical("SENT") ? QStringLiteral("Yes") : QStringLiteral("No ");
}

std::vector<GridColumn> SentColumns() {
  return {
      {QStringLiteral("Sent"), SentYesNo, 3},
      date("Date Sent", "DATESENT"),
      text("Time Sent", "TIMESENT", 5),
      text("Recipient", "RECIPIENT", 20),
      text("Phone", "PHONE", 15),
      text("Pages", "PAGES", 5),
      text("Subject", "SUBJECT", 20),
      text("Last Attempt", "LASTRESULT", 35),
  };
}

std::vector<GridColumn> ReceivedColumns() {
  return {
      date("Date Rec'd", "DATEREC"), text("Time Rec'd", "TIMEREC", 5), text("From", "FROM", 20),
      text("Pages", "PAGES", 5),     text("Notes", "NOTES", 60),
  };
}

FaxTableModel::FaxTableModel(xbase::Table& table, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(std::move(columns)) {}

int FaxTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rowCount;
}

int FaxTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant FaxTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid())
    return {};
  const Row* row = RowAt(index.row());
  if (!row || index.column() >= row->Cells.size())
    return {};
  return row->Cells[index.column()];
}

QVariant FaxTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole)
    return {};
  if (orientation == Qt::Vertical)
    return QString();
  if (section < 0 || section >= static_cast<int>(m_columns.size()))
    return {};
  return m_columns[size_t(section)].Title;
}

long FaxTableModel::RecNoAt(int row) const {
  const Row* r = RowAt(row);
  return r ? r->RecNo : 0;
}

int FaxTableModel::RowOf(long recNo, bool search) const {
  for (const auto& [number, block] : m_blocks)
    for (size_t i = 0; i < block.size(); ++i)
      if (block[i].RecNo == recNo)
        return number * BlockRows + static_cast<int>(i);
  if (!search)
    return -1;
  for (int block = 0; block * BlockRows < m_rowCount; ++block) {
    if (m_blocks.count(block))
      continue;
    ReadBlock(block);
    int row = RowOf(recNo, false);
    if (row >= 0)
      return row;
  }
  return -1;
}

void FaxTableModel::Reload() {
  beginResetModel();
  m_blocks.clear();
  m_useOrder.clear();
  m_anchorRow = -1;
  m_anchorRecNo = 0;
  m_blocksRead = 0;
  m_suspended = false;
  m_rowCount = 0;
  if (TableUsable() && m_keep) {
    CollectKept();
  } else if (TableUsable()) {
    try {
      m_rowCount = static_cast<int>(m_table.queryRecCount());
    } catch (const std::exception&) {
      m_rowCount = 0;
    }
  }
  endResetModel();
}

void FaxTableModel::SetFilter(std::function<bool(const xbase::Table&)> keep) {
  m_keep = std::move(keep);
  m_kept.clear();
  if (!m_suspended)
    Reload();
}

void FaxTableModel::CollectKept() {
  m_kept.clear();
  try {
    for (m_table.first(); !m_table.eof(); m_table.next())
      if (m_keep(m_table))
        m_kept.push_back(m_table.recNo());
  } catch (const std::exception&) {
    // A record that cannot be read ends the list; the ones found stay.
  }
  m_rowCount = static_cast<int>(m_kept.size());
}

void FaxTableModel::Suspend() {
  beginResetModel();
  m_suspended = true;
  m_blocks.clear();
  m_useOrder.clear();
  m_rowCount = 0;
  endResetModel();
}

bool FaxTableModel::TableUsable() const {
  return !m_suspended && m_table.isOpen() && m_table.state() == xbase::TableState::Browse;
}

const FaxTableModel::Row* FaxTableModel::RowAt(int row) const {
  if (row < 0 || row >= m_rowCount)
    return nullptr;
  const int block = row / BlockRows;
  auto it = m_blocks.find(block);
  if (it == m_blocks.end()) {
    if (!TableUsable())
      return nullptr;
    ReadBlock(block);
    it = m_blocks.find(block);
    if (it == m_blocks.end())
      return nullptr;
  }
  m_useOrder.erase(std::remove(m_useOrder.begin(), m_useOrder.end(), block), m_useOrder.end());
  m_useOrder.push_back(block);
  const size_t offset = size_t(row % BlockRows);
  return offset < it->second.size() ? &it->second[offset] : nullptr;
}

// Puts the table on the given row, walking from whichever known position is
// nearest: the first record, the last one, or the end of the last block read.
bool FaxTableModel::PositionAt(int row) const {
  const long fromTop = row;
  const long fromBottom = m_rowCount - 1 - row;
  const long fromAnchor = m_anchorRow >= 0 ? std::labs(long(row) - m_anchorRow) : m_rowCount;
  if (fromAnchor < fromTop && fromAnchor < fromBottom) {
    m_table.go(m_anchorRecNo);
    m_table.skip(long(row) - m_anchorRow);
  } else if (fromTop <= fromBottom) {
    m_table.first();
    m_table.skip(fromTop);
  } else {
    m_table.last();
    m_table.skip(-fromBottom);
  }
  return !m_table.eof() && !m_table.bof();
}

void FaxTableModel::ReadBlock(int block) const {
  Block rows;
  const int start = block * BlockRows;
  try {
    if (m_keep) {
      for (int i = start; i < start + BlockRows && i < m_rowCount; ++i) {
        m_table.go(m_kept[size_t(i)]);
        Row row;
        row.RecNo = m_table.recNo();
        for (const GridColumn& column : m_columns)
          row.Cells << column.Text(m_table);
        rows.push_back(std::move(row));
      }
    } else if (PositionAt(start)) {
      for (int i = 0; i < BlockRows && start + i < m_rowCount && !m_table.eof(); ++i) {
        Row row;
        row.RecNo = m_table.recNo();
        for (const GridColumn& column : m_columns)
          row.Cells << column.Text(m_table);
        rows.push_back(std::move(row));
        m_anchorRow = start + i;
        m_anchorRecNo = rows.back().RecNo;
        if (i + 1 < BlockRows)
          m_table.next();
      }
    }
  } catch (const std::exception&) {
    // A record that cannot be read ends the block; the rows read stay.
  }
  ++m_blocksRead;
  m_blocks[block] = std::move(rows);
  m_useOrder.erase(std::remove(m_useOrder.begin(), m_useOrder.end(), block), m_useOrder.end());
  m_useOrder.push_back(block);
  while (static_cast<int>(m_blocks.size()) > MaxBlocks && !m_useOrder.empty()) {
    m_blocks.erase(m_useOrder.front());
    m_useOrder.erase(m_useOrder.begin());
  }
}

} // namespace app
