// Index tags of a table: creating them, keeping them in step with the
// records, and rebuilding them when they cannot be trusted.

#include "xbase/TableImpl.h"

#include "xbase/XBaseError.h"

#include <algorithm>

namespace xbase {

void Table::Impl::openIndex(const std::string& cdxPath) {
  File file;
  file.open(cdxPath, false);
  cdx.open(std::move(file));
  loadTagRuntime();
}

// Compiles each tag's expressions against the table's fields. An index
// whose expressions do not fit the table is not this table's index.
void Table::Impl::loadTagRuntime() {
  tags.clear();
  for (size_t i = 0; i < cdx.tagCount(); ++i) {
    const CdxTagHeader& h = cdx.tree(i).header();
    TagRuntime t;
    try {
      t.key = Expression(h.keyExpression, dbf.fields());
      if (!h.forExpression.empty())
        t.condition = Expression(h.forExpression, dbf.fields());
      if (keyLengthOf(t.key, dbf.fields()) != h.keyLength)
        throw XBaseError(ErrorCode::BadIndex, "key length does not match the expression");
    } catch (const XBaseError& e) {
      throw XBaseError(ErrorCode::BadIndex,
                       "tag " + cdx.tagName(i) + " of " + cdx.file().path() + ": " + e.what());
    }
    cdx.setPad(i, keyPadByte(t.key.resultType()));
    tags.push_back(std::move(t));
  }
}

bool Table::Impl::inTag(size_t tag, const std::string& image, uint32_t recNo) const {
  return tags[tag].condition.isTrue(view(image, recNo));
}

std::string Table::Impl::keyOf(size_t tag, const std::string& image, uint32_t recNo) const {
  return keyBytes(tags[tag].key.evaluate(view(image, recNo)), cdx.tree(tag).format().length);
}

void Table::Impl::updateIndexes(uint32_t recNo, const std::string& before,
                                const std::string& after) {
  for (size_t t = 0; t < tags.size(); ++t) {
    CdxTree& tree = cdx.tree(t);
    bool wasIn = !before.empty() && inTag(t, before, recNo);
    bool isIn = inTag(t, after, recNo);
    std::string oldKey = wasIn ? keyOf(t, before, recNo) : std::string();
    std::string newKey = isIn ? keyOf(t, after, recNo) : std::string();
    if (wasIn && isIn && oldKey == newKey)
      continue;
    if (wasIn)
      tree.remove(oldKey, recNo);
    if (isIn)
      tree.insert(newKey, recNo);
  }
}

// Reads the whole table in large blocks and hands each record image on.
void Table::Impl::scanRecords(
    const std::function<void(const std::string& image, uint32_t recNo)>& visit) {
  uint32_t count = dbf.recordCount();
  const size_t batch = 4096;
  std::string block, image;
  for (uint32_t first = 1; first <= count; first += batch) {
    uint32_t n = std::min<uint32_t>(batch, count - first + 1);
    block.resize(size_t(n) * dbf.recordLength());
    dbf.file().readAt(dbf.headerLength() + uint64_t(first - 1) * dbf.recordLength(), block.data(),
                      block.size());
    for (uint32_t i = 0; i < n; ++i) {
      image.assign(block, size_t(i) * dbf.recordLength(), dbf.recordLength());
      visit(image, first + i);
    }
  }
}

// Fills one tag from a scan of the whole table.
void Table::Impl::buildTag(size_t tag) {
  std::vector<CdxEntry> entries;
  entries.reserve(dbf.recordCount());
  scanRecords([&](const std::string& image, uint32_t recNo) {
    if (inTag(tag, image, recNo))
      entries.push_back(CdxEntry{keyOf(tag, image, recNo), recNo, 0});
  });
  std::sort(entries.begin(), entries.end(), [](const CdxEntry& a, const CdxEntry& b) {
    int c = a.key.compare(b.key);
    return c < 0 || (c == 0 && a.recNo < b.recNo);
  });
  cdx.tree(tag).build(entries);
}

// Writes the index file afresh with the same tags, filled from the table.
void Table::Impl::rebuildIndex() {
  std::vector<CdxTagDefinition> defs;
  for (size_t i = 0; i < cdx.tagCount(); ++i) {
    const CdxTagHeader& h = cdx.tree(i).header();
    defs.push_back(CdxTagDefinition{cdx.tagName(i), h.keyExpression, h.forExpression, h.descending,
                                    h.keyLength, keyPadByte(tags[i].key.resultType())});
  }
  std::string cdxPath = cdx.file().path();
  std::string orderName = order > 0 ? cdx.tagName(size_t(order - 1)) : std::string();
  cdx.close(tableStamp());
  File file;
  file.open(cdxPath, true);
  CdxIndex::create(file);
  cdx.open(std::move(file));
  cdx.beginUpdate();
  for (const auto& d : defs)
    cdx.addTag(d);
  loadTagRuntime();
  for (size_t i = 0; i < tags.size(); ++i)
    buildTag(i);
  order = orderName.empty() ? 0 : cdx.findTag(orderName) + 1;
  cursor.generation = 0;
}

CdxStamp Table::Impl::tableStamp() {
  return stampOfTableFile(dbf.file().fd(), dbf.recordCount());
}

// The full check: each tag must hold exactly one key per record that passes
// its condition. An index that silently lost entries would otherwise hide
// records. It reads the whole table, so it runs only for an index without
// a stamp.
bool Table::Impl::keyCountsMatch() {
  std::vector<uint64_t> expected(tags.size(), 0);
  scanRecords([&](const std::string& image, uint32_t recNo) {
    for (size_t t = 0; t < tags.size(); ++t)
      expected[t] += inTag(t, image, recNo) ? 1 : 0;
  });
  for (size_t t = 0; t < tags.size(); ++t)
    if (cdx.tree(t).countKeys() != expected[t])
      return false;
  return true;
}

// Why an index cannot be trusted as it was found, or "" when it can.
std::string Table::Impl::indexDoubt(bool tableRepaired) {
  uint32_t count = 0;
  CdxStamp stamp;
  if (tableRepaired)
    return "the table had lost records";
  if (cdx.foundUpdateMark())
    return "a change to it had been cut short";
  if (cdx.stampedCount(count) && count != dbf.recordCount())
    return "it was written for a table of " + std::to_string(count) + " records, not " +
           std::to_string(dbf.recordCount());
  if (cdx.stampedTable(stamp) && !(stamp == tableStamp()))
    return "the table was changed without it, or it was put back from another time";
  for (size_t i = 0; i < cdx.tagCount(); ++i)
    cdx.tree(i).checkRoot();
  if (cdx.stampedTable(stamp))
    return {};
  if (!keyCountsMatch())
    return "its key counts differ from the records of the table";
  cdx.beginUpdate(); // checked in full: stamp it on close so the next open is quick
  return {};
}

void Table::Impl::checkIndexOnOpen(bool tableRepaired) {
  if (!cdx.isOpen())
    return;
  std::string doubt;
  try {
    doubt = indexDoubt(tableRepaired);
  } catch (const XBaseError& e) {
    if (e.code() != ErrorCode::BadIndex)
      throw;
    doubt = std::string("it is damaged: ") + e.what();
  }
  if (doubt.empty())
    return;
  repairs.push_back("index " + cdx.file().path() + " rebuilt: " + doubt);
  rebuildIndex();
}

void Table::indexTag(const std::string& tag, const std::string& keyExpression, bool descending,
                     const std::string& forCondition) {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  Expression key(keyExpression, fields());
  if (!forCondition.empty())
    Expression(forCondition, fields()); // rejects a bad condition before anything is written
  size_t keyLength = keyLengthOf(key, fields());
  if (!m->cdx.isOpen()) {
    File file;
    file.open(companionPath(m->path, "CDX"), true);
    CdxIndex::create(file);
    m->cdx.open(std::move(file));
    m->dbf.setStructuralFlag(true);
  }
  size_t position = m->cdx.addTag(CdxTagDefinition{tag, keyExpression, forCondition, descending,
                                                   keyLength, keyPadByte(key.resultType())});
  m->loadTagRuntime();
  m->buildTag(position);
  m->order = int(position) + 1;
  m->placeCursor();
}

std::vector<std::string> Table::tagNames() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < m->cdx.tagCount(); ++i)
    names.push_back(m->cdx.tagName(i));
  return names;
}

void Table::setOrder(int order) {
  m->requireOpen();
  if (order < 0 || order > int(m->cdx.tagCount()))
    throw XBaseError(ErrorCode::NoTag, "no tag at position " + std::to_string(order));
  m->order = order;
  m->placeCursor();
}

void Table::setOrder(const std::string& tag) {
  m->requireOpen();
  if (upperName(tag).empty()) {
    setOrder(0);
    return;
  }
  int i = m->cdx.findTag(tag);
  if (i < 0)
    throw XBaseError(ErrorCode::NoTag, "no tag " + tag + " in the index of " + m->path);
  setOrder(i + 1);
}

int Table::indexOrd() const {
  return m->order;
}

std::string Table::orderTag() const {
  return m->order > 0 ? m->cdx.tagName(size_t(m->order - 1)) : std::string();
}

void Table::closeIndexes() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  m->cdx.close(m->tableStamp());
  m->tags.clear();
  m->order = 0;
}

bool Table::hasIndex() const {
  return m->cdx.isOpen();
}

} // namespace xbase
