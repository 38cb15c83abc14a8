#include "xbase/CdxTree.h"

#include "xbase/CdxIndex.h"
#include "xbase/XBaseError.h"

#include <atomic>
#include <cstring>

namespace xbase {

namespace {

constexpr int kMaxDepth = 32;
constexpr uint8_t kOptionCompact = 0x20;
constexpr uint8_t kOptionCompound = 0x40;
constexpr uint8_t kOptionDirectory = 0x80;
constexpr uint8_t kOptionFor = 0x08;

[[noreturn]] void bad(const std::string& why) {
  throw XBaseError(ErrorCode::BadIndex, why);
}

std::string poolString(const uint8_t* pool, size_t pos, size_t len) {
  if (pos >= 512)
    return {};
  len = std::min(len, 512 - pos);
  const char* p = reinterpret_cast<const char*>(pool + pos);
  return std::string(p, strnlen(p, len));
}

} // namespace

CdxTagHeader parseCdxTagHeader(const uint8_t* h) {
  CdxTagHeader t;
  t.root = getLe32(h);
  t.keyLength = getLe16(h + 12);
  t.options = h[14];
  t.descending = getLe16(h + 502) != 0;
  t.forExpression = poolString(h + 512, getLe16(h + 504), getLe16(h + 506));
  t.keyExpression = poolString(h + 512, getLe16(h + 508), getLe16(h + 510));
  if (t.keyLength == 0 || t.keyLength > 240)
    bad("tag header has an impossible key length");
  return t;
}

void formatCdxTagHeader(const CdxTagHeader& t, bool directory, uint8_t* h) {
  std::memset(h, 0, 1024);
  putLe32(h, t.root);
  putLe16(h + 12, uint16_t(t.keyLength));
  h[14] =
      directory
          ? (kOptionCompact | kOptionCompound | kOptionDirectory)
          : uint8_t(kOptionCompact | kOptionCompound | (t.forExpression.empty() ? 0 : kOptionFor));
  h[15] = 1;
  putLe16(h + 16, 1024); // header and page lengths, as other writers record them
  putLe16(h + 18, 512);
  putLe16(h + 502, t.descending ? 1 : 0);
  // Expression pool: key expression, NUL, FOR expression, NUL.
  size_t keyLen = std::min<size_t>(t.keyExpression.size(), 250) + 1;
  size_t forLen = std::min<size_t>(t.forExpression.size(), 250) + 1;
  std::memcpy(h + 512, t.keyExpression.data(), keyLen - 1);
  std::memcpy(h + 512 + keyLen, t.forExpression.data(), forLen - 1);
  putLe16(h + 504, uint16_t(keyLen));
  putLe16(h + 506, uint16_t(forLen));
  putLe16(h + 508, 0);
  putLe16(h + 510, uint16_t(keyLen));
}

CdxTree::CdxTree(CdxIndex& index, uint32_t headerOffset, const CdxTagHeader& header, uint8_t pad)
    : m_index(index), m_headerOffset(headerOffset),
      m_header(header), m_format{header.keyLength, pad} {
  touch();
}

// Generations are unique across all trees, so a cursor never mistakes a
// rebuilt tree for the one it was walking.
void CdxTree::touch() {
  static std::atomic<uint64_t> counter{0};
  m_generation = ++counter;
}

CdxNode& CdxTree::load(uint32_t offset) {
  auto it = m_cache.find(offset);
  if (it != m_cache.end())
    return it->second;
  uint8_t page[kCdxPage];
  m_index.readPage(offset, page);
  CdxNode node;
  std::string error;
  if (!decodeCdxNode(page, m_format, node, error))
    bad("index page " + std::to_string(offset) + " damaged: " + error);
  node.offset = offset;
  return m_cache.emplace(offset, std::move(node)).first->second;
}

void CdxTree::checkRoot() {
  load(m_header.root);
}

uint64_t CdxTree::countKeys() {
  uint32_t offset = m_header.root;
  for (int depth = 0; !load(offset).leaf(); ++depth) {
    const CdxNode& node = load(offset);
    if (node.entries.empty() || depth > kMaxDepth)
      bad("index branch page without children");
    offset = node.entries.front().child;
  }
  uint64_t keys = 0;
  for (size_t hops = 0; offset != kNoPage; ++hops) {
    const CdxNode& leaf = load(offset);
    if (!leaf.leaf() || hops > 1000000)
      bad("index leaf chain damaged");
    keys += leaf.entries.size();
    offset = leaf.right;
  }
  return keys;
}

const CdxEntry& CdxTree::at(const CdxCursor& c) {
  return load(c.leaf).entries.at(c.index);
}

bool CdxTree::settle(CdxCursor& c, uint32_t leaf, size_t index) {
  const CdxEntry& e = load(leaf).entries[index];
  c.leaf = leaf;
  c.index = index;
  c.generation = m_generation;
  c.key = e.key;
  c.recNo = e.recNo;
  return true;
}

// Walks down to the first (or last) entry of the subtree, skipping empty
// pages through the sibling links.
bool CdxTree::descend(uint32_t offset, bool toLast, CdxCursor& c) {
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    const CdxNode& node = load(offset);
    if (node.leaf()) {
      if (!node.entries.empty())
        return settle(c, offset, toLast ? node.entries.size() - 1 : 0);
      c.leaf = offset;
      c.generation = m_generation;
      c.index = 0;
      c.key.clear();
      return toLast ? stepBack(c) : stepForward(c);
    }
    if (node.entries.empty())
      return false;
    offset = toLast ? node.entries.back().child : node.entries.front().child;
  }
  bad("index tree deeper than any valid one");
}

bool CdxTree::first(CdxCursor& c) {
  return descend(m_header.root, false, c);
}
bool CdxTree::last(CdxCursor& c) {
  return descend(m_header.root, true, c);
}

bool CdxTree::seek(const std::string& key, uint32_t recNo, CdxCursor& c) {
  uint32_t offset = m_header.root;
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    const CdxNode& node = load(offset);
    size_t i = 0;
    while (i < node.entries.size() && compareEntry(key, recNo, node.entries[i]) > 0)
      ++i;
    if (node.leaf()) {
      if (i < node.entries.size())
        return settle(c, offset, i);
      c.leaf = offset;
      c.index = node.entries.empty() ? 0 : node.entries.size() - 1;
      c.generation = m_generation;
      c.key = key;
      c.recNo = recNo;
      return stepForward(c);
    }
    if (i == node.entries.size())
      return false;
    offset = node.entries[i].child;
  }
  bad("index tree deeper than any valid one");
}

// Moves right within the leaf level. Keys must keep rising, which also
// stops a damaged file whose sibling links form a loop.
bool CdxTree::stepForward(CdxCursor& c) {
  const CdxNode* node = &load(c.leaf);
  if (!node->entries.empty() && c.index + 1 < node->entries.size())
    return settle(c, c.leaf, c.index + 1);
  std::string key = c.key;
  uint32_t recNo = c.recNo;
  for (size_t hops = 0; node->right != kNoPage; ++hops) {
    uint32_t next = node->right;
    node = &load(next);
    if (!node->leaf() || hops > 1000000)
      bad("index leaf chain damaged");
    if (node->entries.empty())
      continue;
    if (compareEntry(key, recNo, node->entries.front()) >= 0 && !key.empty())
      bad("index keys out of order across pages");
    return settle(c, next, 0);
  }
  return false;
}

bool CdxTree::stepBack(CdxCursor& c) {
  const CdxNode* node = &load(c.leaf);
  if (!node->entries.empty() && c.index > 0 && c.index <= node->entries.size())
    return settle(c, c.leaf, c.index - 1);
  std::string key = c.key;
  uint32_t recNo = c.recNo;
  for (size_t hops = 0; node->left != kNoPage; ++hops) {
    uint32_t prev = node->left;
    node = &load(prev);
    if (!node->leaf() || hops > 1000000)
      bad("index leaf chain damaged");
    if (node->entries.empty())
      continue;
    if (!key.empty() && compareEntry(key, recNo, node->entries.back()) <= 0)
      bad("index keys out of order across pages");
    return settle(c, prev, node->entries.size() - 1);
  }
  return false;
}

bool CdxTree::next(CdxCursor& c) {
  if (c.generation != m_generation) {
    std::string key = c.key;
    uint32_t recNo = c.recNo;
    if (!seek(key, recNo, c))
      return false;
    if (c.key != key || c.recNo != recNo)
      return true; // the old entry is gone; the one after it is next
  }
  return stepForward(c);
}

bool CdxTree::prior(CdxCursor& c) {
  if (c.generation != m_generation) {
    std::string key = c.key;
    uint32_t recNo = c.recNo;
    if (!seek(key, recNo, c))
      return last(c);
    c.key = key, c.recNo = recNo; // step back from the position the entry had
  }
  return stepBack(c);
}

} // namespace xbase
