// Moving through a table in natural or tag order, skipping records that are
// hidden (deleted while TableEnv hides them) or fail the filter.

#include "xbase/TableImpl.h"

#include "xbase/XBaseError.h"

namespace xbase {

bool Table::Impl::visible(const std::string& image, uint32_t recNo) const {
  if (TableEnv::deleted() && !image.empty() && image[0] == '*')
    return false;
  return filter.isTrue(view(image, recNo));
}

bool Table::Impl::moveNatural(bool forward, bool fromEnd) {
  uint32_t count = dbf.recordCount();
  int64_t r = fromEnd || current == 0 ? (forward ? 1 : int64_t(count))
                                      : int64_t(current) + (forward ? 1 : -1);
  std::string image;
  for (; r >= 1 && r <= int64_t(count); r += forward ? 1 : -1) {
    dbf.read(uint32_t(r), image);
    if (visible(image, uint32_t(r))) {
      current = uint32_t(r);
      record = std::move(image);
      return true;
    }
  }
  return false;
}

// Walks the current tag. Every record reached must give back the key it is
// filed under and pass the tag's condition; otherwise the index does not
// match the table and BadIndex is thrown for move() to repair.
bool Table::Impl::moveInTag(bool forward, bool fromEnd) {
  size_t tag = size_t(order - 1);
  CdxTree& tree = cdx.tree(tag);
  bool treeForward = forward != tree.header().descending;
  auto step = [&]() { return treeForward ? tree.next(cursor) : tree.prior(cursor); };
  // Each step must move past the entry before it; a damaged tree whose
  // separators send a seek astray would otherwise repeat or skip records.
  std::string lastKey = cursor.key;
  uint32_t lastRecNo = cursor.recNo;
  bool found = fromEnd ? (treeForward ? tree.first(cursor) : tree.last(cursor)) : step();
  std::string image;
  for (bool anchored = !fromEnd; found; found = step(), anchored = true) {
    const CdxEntry& e = tree.at(cursor);
    int progress = compareEntry(lastKey, lastRecNo, e);
    if (anchored && (treeForward ? progress >= 0 : progress <= 0))
      throw XBaseError(ErrorCode::BadIndex, "index walk did not move on");
    lastKey = e.key;
    lastRecNo = e.recNo;
    uint32_t recNo = e.recNo;
    if (recNo < 1 || recNo > dbf.recordCount())
      throw XBaseError(ErrorCode::BadIndex, "index names a record the table does not have");
    dbf.read(recNo, image);
    if (!inTag(tag, image, recNo) || keyOf(tag, image, recNo) != e.key)
      throw XBaseError(ErrorCode::BadIndex, "index key does not match its record");
    if (visible(image, recNo)) {
      current = recNo;
      record = std::move(image);
      return true;
    }
  }
  return false;
}

bool Table::Impl::move(bool forward, bool fromEnd) {
  if (order == 0)
    return moveNatural(forward, fromEnd);
  try {
    return moveInTag(forward, fromEnd);
  } catch (const XBaseError& e) {
    if (e.code() != ErrorCode::BadIndex || rebuilding)
      throw;
  }
  // Once per move: rebuild, then try again from the same place.
  rebuilding = true;
  try {
    rebuildIndex();
    placeCursor();
    bool found = moveInTag(forward, fromEnd);
    rebuilding = false;
    return found;
  } catch (...) {
    rebuilding = false;
    throw;
  }
}

void Table::Impl::placeCursor() {
  cursor = CdxCursor{};
  if (order > 0 && current != 0) {
    cursor.key = keyOf(size_t(order - 1), record, current);
    cursor.recNo = current;
  }
  cursor.generation = 0; // found again by key on the next step
}

// After a successful move the cursor stands on the new record; after a
// failed one it is put back on the current record for the next move.
void Table::Impl::settle(bool found, bool forward, bool fromEnd) {
  if (found) {
    eof = bof = false;
    return;
  }
  if (fromEnd || current == 0) {
    current = 0;
    record.assign(dbf.recordLength(), ' ');
    eof = bof = true;
  } else {
    (forward ? eof : bof) = true;
  }
  if (order > 0)
    placeCursor();
}

void Table::first() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  m->settle(m->move(true, true), true, true);
}

void Table::last() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  m->settle(m->move(false, true), false, true);
}

void Table::next() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  if (m->current == 0) {
    m->eof = true;
    return;
  }
  m->settle(m->move(true, false), true, false);
}

void Table::prior() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  if (m->current == 0) {
    m->bof = true;
    return;
  }
  m->settle(m->move(false, false), false, false);
}

void Table::skip(long count) {
  for (; count > 0 && !eof(); --count)
    next();
  for (; count < 0 && !bof(); ++count)
    prior();
}

bool Table::eof() const {
  return m->eof;
}
bool Table::bof() const {
  return m->bof;
}

void Table::go(long recNo) {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  if (recNo < 1 || recNo > long(m->dbf.recordCount()))
    throw XBaseError(ErrorCode::Range, "record " + std::to_string(recNo) + " does not exist");
  m->dbf.read(uint32_t(recNo), m->record);
  m->current = uint32_t(recNo);
  m->eof = m->bof = false;
  m->placeCursor();
}

void Table::setFilter(const std::string& condition) {
  m->requireOpen();
  Expression compiled;
  if (!upperName(condition).empty()) {
    compiled = Expression(condition, fields());
    if (compiled.resultType() != 'L')
      throw XBaseError(ErrorCode::BadExpression, "filter \"" + condition + "\" is not logical");
  }
  m->filter = std::move(compiled);
  m->filterSource = condition;
}

const std::string& Table::filter() const {
  return m->filterSource;
}

long Table::queryRecCount() {
  m->requireOpen();
  uint32_t count = m->dbf.recordCount();
  uint32_t length = m->dbf.recordLength();
  const uint32_t batch = 4096;
  std::string block, image;
  long visible = 0;
  for (uint32_t first = 1; first <= count; first += batch) {
    uint32_t n = std::min(batch, count - first + 1);
    block.resize(size_t(n) * length);
    m->dbf.file().readAt(m->dbf.headerLength() + uint64_t(first - 1) * length, block.data(),
                         block.size());
    for (uint32_t i = 0; i < n; ++i) {
      image.assign(block, size_t(i) * length, length);
      visible += m->visible(image, first + i) ? 1 : 0;
    }
  }
  return visible;
}

} // namespace xbase
