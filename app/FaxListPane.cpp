#include "app/FaxListPane.h"

#include "xbase/Table.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace app {

FaxListPane::FaxListPane(xbase::Table& table, std::vector<GridColumn> columns,
                         const char* pageName, const char* gridName, QWidget* parent)
    : QWidget(parent), m_table(table), m_model(table, std::move(columns)),
      m_grid(new QTableView(this)) {
  setObjectName(QString::fromLatin1(pageName));
  m_grid->setObjectName(QString::fromLatin1(gridName));
  m_grid->setModel(&m_model);
  m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
  m_grid->setShowGrid(true);
  m_grid->setWordWrap(false);
  m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
  m_grid->verticalHeader()->setFixedWidth(12); // the record indicator column
  m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_grid->horizontalHeader()->setHighlightSections(false);
  const QFontMetrics metrics = m_grid->fontMetrics();
  const int charWidth = metrics.averageCharWidth();
  const auto& shown = m_model.Columns();
  for (size_t i = 0; i < shown.size(); ++i) {
    const int titleWidth = std::max(metrics.horizontalAdvance(shown[i].Title),
                                    metrics.horizontalAdvance(shown[i].Sample));
    m_grid->setColumnWidth(int(i), std::max(shown[i].Width * charWidth, titleWidth) + 12);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_grid);
  connect(m_grid, &QTableView::doubleClicked, this, &FaxListPane::Activated);
}

int FaxListPane::RowCount() const {
  return m_model.rowCount();
}

bool FaxListPane::SelectCurrent() {
  if (!m_table.isOpen() || m_model.rowCount() == 0)
    return false;
  const int row = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : 0;
  const long recNo = m_model.RecNoAt(row);
  if (recNo <= 0)
    return false;
  try {
    m_table.go(recNo);
  } catch (const std::exception&) {
    return false;
  }
  return !m_table.isDeleted();
}

void FaxListPane::SelectRecord(long recNo) {
  const int row = m_model.RowOf(recNo, true);
  if (row >= 0)
    m_grid->setCurrentIndex(m_model.index(row, 0));
}

void FaxListPane::Reload() {
  const int row = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : 0;
  m_model.Reload();
  if (m_model.rowCount() > 0)
    m_grid->setCurrentIndex(m_model.index(std::min(row, m_model.rowCount() - 1), 0));
  UpdateEnabled();
}

void FaxListPane::Suspend() {
  m_model.Suspend();
  m_grid->setEnabled(false);
}

void FaxListPane::UpdateEnabled() {
  m_grid->setEnabled(m_model.rowCount() > 0);
}

bool FaxListPane::CloseAndOpen(bool (*open)(xbase::Table&)) {
  const long recNo = m_table.isOpen() ? m_table.recNo() : 0;
  Suspend();
  m_table.close();
  // Pending painting and timers run, but no key or click: a command started
  // now would find the table closed.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (!open(m_table))
    return false;
  try {
    m_table.setFilter(".not. deleted()");
    m_table.go(recNo);
  } catch (const std::exception&) {
    // The remembered record may be gone; the table stays where it is.
  }
  m_model.Reload();
  UpdateEnabled();
  const int row = m_model.RowOf(recNo, true);
  m_grid->setCurrentIndex(m_model.index(row >= 0 ? row : 0, 0));
  return true;
}

} // namespace app
