// Changing a CDX tree: insert with page splits, remove with release of
// emptied pages, and bulk building from sorted keys.

#include "xbase/CdxIndex.h"
#include "xbase/CdxTree.h"
#include "xbase/XBaseError.h"

namespace xbase {

namespace {
constexpr int kMaxDepth = 32;
constexpr size_t kLeafArea = kCdxPage - 24;

CdxEntry maxOf(const CdxNode& node) {
  const CdxEntry& last = node.entries.back();
  return CdxEntry{last.key, last.recNo, node.offset};
}
} // namespace

void CdxTree::store(CdxNode& node) {
  uint8_t page[kCdxPage];
  if (!encodeCdxNode(node, m_format, page))
    throw XBaseError(ErrorCode::BadIndex, "index page overflow"); // callers split first
  m_index.writePage(node.offset, page);
}

void CdxTree::setRoot(uint32_t offset) {
  m_header.root = offset;
  m_index.writeRoot(m_headerOffset, offset);
}

void CdxTree::insert(const std::string& key, uint32_t recNo) {
  m_index.beginUpdate();
  touch();
  Split split = insertInto(m_header.root, CdxEntry{key, recNo, 0}, 0);
  if (!split.happened)
    return;
  // The root itself split: a new root above the two halves.
  CdxNode root;
  root.offset = m_index.allocatePage();
  root.attr = kCdxRoot;
  root.entries = {split.leftMax, split.rightMax};
  store(root);
  m_cache[root.offset] = root;
  setRoot(root.offset);
}

CdxTree::Split CdxTree::insertInto(uint32_t offset, const CdxEntry& entry, int depth) {
  if (depth > kMaxDepth)
    throw XBaseError(ErrorCode::BadIndex, "index tree deeper than any valid one");
  CdxNode* node = &load(offset);
  size_t i = 0;
  while (i < node->entries.size() && compareEntry(entry.key, entry.recNo, node->entries[i]) > 0)
    ++i;
  if (node->leaf()) {
    node->entries.insert(node->entries.begin() + long(i), entry);
  } else {
    if (node->entries.empty())
      throw XBaseError(ErrorCode::BadIndex, "index branch page without children");
    if (i == node->entries.size())
      --i; // beyond every key: goes into the last child, whose key then grows
    uint32_t child = node->entries[i].child;
    Split s = insertInto(child, entry, depth + 1);
    node = &load(offset); // the cache may have rehashed
    if (s.happened) {
      node->entries[i] = s.leftMax;
      node->entries.insert(node->entries.begin() + long(i) + 1, s.rightMax);
    } else {
      const CdxNode& c = load(child);
      node = &load(offset);
      CdxEntry top = maxOf(c);
      if (top.key == node->entries[i].key && top.recNo == node->entries[i].recNo)
        return {};
      node->entries[i] = top;
    }
  }
  uint8_t page[kCdxPage];
  if (encodeCdxNode(*node, m_format, page)) {
    m_index.writePage(offset, page);
    return {};
  }
  return splitNode(*node);
}

CdxTree::Split CdxTree::splitNode(CdxNode& node) {
  CdxNode right;
  right.offset = m_index.allocatePage();
  right.attr = uint16_t(node.attr & ~kCdxRoot);
  size_t half = node.entries.size() / 2;
  right.entries.assign(node.entries.begin() + long(half), node.entries.end());
  node.entries.resize(half);
  node.attr = uint16_t(node.attr & ~kCdxRoot);
  right.left = node.offset;
  right.right = node.right;
  node.right = right.offset;
  if (right.right != kNoPage) {
    CdxNode& after = load(right.right);
    after.left = right.offset;
    store(after);
  }
  store(right);
  store(node);
  Split s;
  s.happened = true;
  s.leftMax = maxOf(node);
  s.rightMax = maxOf(right);
  uint32_t nodeOffset = node.offset;
  m_cache[right.offset] = std::move(right); // may invalidate `node`
  s.leftMax.child = nodeOffset;
  return s;
}

bool CdxTree::remove(const std::string& key, uint32_t recNo) {
  m_index.beginUpdate();
  touch();
  bool emptied = false;
  return removeFrom(m_header.root, key, recNo, 0, emptied);
}

bool CdxTree::removeFrom(uint32_t offset, const std::string& key, uint32_t recNo, int depth,
                         bool& emptied) {
  if (depth > kMaxDepth)
    throw XBaseError(ErrorCode::BadIndex, "index tree deeper than any valid one");
  CdxNode* node = &load(offset);
  size_t i = 0;
  while (i < node->entries.size() && compareEntry(key, recNo, node->entries[i]) > 0)
    ++i;
  if (i == node->entries.size())
    return false;
  if (node->leaf()) {
    if (compareEntry(key, recNo, node->entries[i]) != 0)
      return false;
    node->entries.erase(node->entries.begin() + long(i));
  } else {
    uint32_t child = node->entries[i].child;
    bool childEmptied = false;
    if (!removeFrom(child, key, recNo, depth + 1, childEmptied))
      return false;
    if (childEmptied) {
      node = &load(offset);
      node->entries.erase(node->entries.begin() + long(i));
    } else {
      // Every entry of an interior page is the last key of its child, which
      // other engines rely on when they seek or add keys: a removed top key
      // changes the entry, and so on up while a page's own last key changes.
      CdxEntry top = maxOf(load(child));
      node = &load(offset);
      if (top.key == node->entries[i].key && top.recNo == node->entries[i].recNo)
        return true;
      node->entries[i] = top;
    }
  }
  if (node->entries.empty() && !node->root()) {
    unlink(*node);
    emptied = true;
    return true;
  }
  if (node->entries.empty())
    node->attr = kCdxRoot | kCdxLeaf; // a root without children becomes an empty leaf
  store(*node);
  return true;
}

// Takes an emptied page out of its level's sibling chain and frees it.
void CdxTree::unlink(CdxNode& node) {
  uint32_t left = node.left, right = node.right, offset = node.offset;
  if (left != kNoPage) {
    CdxNode& l = load(left);
    l.right = right;
    store(l);
  }
  if (right != kNoPage) {
    CdxNode& r = load(right);
    r.left = left;
    store(r);
  }
  m_cache.erase(offset);
  m_index.freePage(offset);
}

void CdxTree::build(const std::vector<CdxEntry>& sorted) {
  m_index.beginUpdate();
  touch();
  // A tree that is only its root leaf (a new tag) gives that page back, so a
  // freshly built index has no unused pages.
  if (load(m_header.root).leaf())
    m_index.freePage(m_header.root);
  m_cache.clear();
  std::vector<CdxEntry> level = sorted;
  bool leaves = true;
  uint32_t root;
  do {
    root = buildLevel(level, leaves);
    leaves = false;
  } while (level.size() > 1);
  setRoot(root);
}

// Splits a level into pages: leaves are filled as far as their compressed
// keys allow, interior pages to their fixed capacity.
std::vector<std::pair<size_t, size_t>> CdxTree::pageRanges(const std::vector<CdxEntry>& level,
                                                           bool leaves) const {
  std::vector<std::pair<size_t, size_t>> ranges;
  if (!leaves) {
    size_t capacity = cdxInteriorCapacity(m_format.length);
    for (size_t from = 0; from < level.size(); from += capacity)
      ranges.emplace_back(from, std::min(level.size(), from + capacity));
    return ranges;
  }
  uint32_t maxRec = 0;
  for (const auto& e : level)
    maxRec = std::max(maxRec, e.recNo);
  size_t entryBytes = cdxLeafEntryBytes(m_format.length, maxRec) - m_format.length;
  size_t from = 0, used = 0;
  for (size_t i = 0; i < level.size(); ++i) {
    const std::string& key = level[i].key;
    size_t trail = 0;
    while (trail < key.size() && uint8_t(key[key.size() - 1 - trail]) == m_format.pad)
      ++trail;
    size_t dup = 0;
    if (i > from)
      while (dup < key.size() - trail && key[dup] == level[i - 1].key[dup])
        ++dup;
    size_t need = entryBytes + key.size() - dup - trail;
    if (i > from && used + need > kLeafArea) {
      ranges.emplace_back(from, i);
      from = i;
      used = entryBytes + key.size() - trail; // first entry of a page shares nothing
      continue;
    }
    used += need;
  }
  ranges.emplace_back(from, level.size());
  return ranges;
}

// Writes one level of pages for `level` and replaces it with the entries of
// the level above (one per page). Returns the first page.
uint32_t CdxTree::buildLevel(std::vector<CdxEntry>& level, bool leaves) {
  std::vector<std::pair<size_t, size_t>> ranges = pageRanges(level, leaves);
  size_t pages = ranges.size();
  std::vector<uint32_t> offsets(pages);
  for (auto& o : offsets)
    o = m_index.allocatePage();
  std::vector<CdxEntry> above;
  for (size_t p = 0; p < pages; ++p) {
    CdxNode node;
    node.offset = offsets[p];
    node.attr = uint16_t((leaves ? kCdxLeaf : kCdxInterior) | (pages == 1 ? kCdxRoot : 0));
    node.left = p > 0 ? offsets[p - 1] : kNoPage;
    node.right = p + 1 < pages ? offsets[p + 1] : kNoPage;
    node.entries.assign(level.begin() + long(ranges[p].first),
                        level.begin() + long(ranges[p].second));
    store(node);
    if (!node.entries.empty())
      above.push_back(maxOf(node));
  }
  level = std::move(above);
  return offsets.front();
}

} // namespace xbase
