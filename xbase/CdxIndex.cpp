#include "xbase/CdxIndex.h"

#include "xbase/XBaseError.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace xbase {

namespace {

constexpr uint32_t kHeaderSize = 1024;
// Reserved bytes of the directory header: stamp magic, record count, update mark.
constexpr uint32_t kStampOffset = 488;
constexpr uint32_t kStampMagic = 0x54435843;
constexpr uint32_t kUpdateMarkOffset = 496;
// Reserved bytes before it: magic, then size and modification time of the
// table file (the change time is left out: renaming the file, as a user
// tidying names does, changes it). Bytes 472-487 stay free.
constexpr uint32_t kTableStampOffset = 448;
constexpr uint32_t kTableStampSize = 24;
constexpr uint32_t kTableStampMagic = 0x46435843;
constexpr size_t kTagNameLength = 10;
constexpr int kMaxDepth = 32;

[[noreturn]] void bad(const std::string& why) {
  throw XBaseError(ErrorCode::BadIndex, why);
}

std::string trimName(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
    s.pop_back();
  return s;
}

std::string upper(std::string s) {
  for (char& c : s)
    c = char(std::toupper(uint8_t(c)));
  return s;
}

} // namespace

void CdxIndex::create(File& file) {
  uint8_t image[kHeaderSize + kCdxPage] = {};
  CdxTagHeader dir;
  dir.root = kHeaderSize;
  dir.keyLength = kTagNameLength;
  formatCdxTagHeader(dir, true, image);
  CdxNode root;
  root.attr = kCdxRoot | kCdxLeaf;
  encodeCdxNode(root, CdxKeyFormat{kTagNameLength, ' '}, image + kHeaderSize);
  file.truncate(0);
  file.writeAt(0, image, sizeof image);
}

void CdxIndex::open(File&& file) {
  m_file = std::move(file);
  m_names.clear();
  m_trees.clear();
  m_free.clear();
  m_marked = false;
  uint64_t size = m_file.size();
  if (size < kHeaderSize + kCdxPage || size > 0xFFFFFE00u)
    bad("index file has an impossible size: " + m_file.path());
  m_end = uint32_t(size / kCdxPage * kCdxPage);
  uint8_t stamp[12];
  m_file.readAt(kStampOffset, stamp, sizeof stamp);
  m_hasStamp = getLe32(stamp) == kStampMagic;
  m_stamp = getLe32(stamp + 4);
  m_foundMark = getLe32(stamp + 8) != 0;
  readTableStamp();
  readDirectory();
}

bool CdxIndex::stampedCount(uint32_t& count) const {
  count = m_stamp;
  return m_hasStamp;
}

bool CdxIndex::stampedTable(CdxStamp& stamp) const {
  stamp = m_tableStamp;
  return m_hasTableStamp;
}

namespace {
uint64_t getLe64(const uint8_t* p) {
  return uint64_t(getLe32(p)) | uint64_t(getLe32(p + 4)) << 32;
}
void putLe64(uint8_t* p, uint64_t v) {
  putLe32(p, uint32_t(v));
  putLe32(p + 4, uint32_t(v >> 32));
}
} // namespace

void CdxIndex::readTableStamp() {
  uint8_t b[kTableStampSize];
  m_file.readAt(kTableStampOffset, b, sizeof b);
  m_hasTableStamp = getLe32(b) == kTableStampMagic && m_hasStamp;
  m_tableStamp.recordCount = m_stamp;
  m_tableStamp.size = getLe64(b + 4);
  m_tableStamp.modifiedSeconds = int64_t(getLe64(b + 12));
  m_tableStamp.modifiedNanoseconds = int64_t(getLe32(b + 20));
}

void CdxIndex::writeStamp(const CdxStamp& t) {
  uint8_t b[kTableStampSize] = {};
  putLe32(b, kTableStampMagic);
  putLe64(b + 4, t.size);
  putLe64(b + 12, uint64_t(t.modifiedSeconds));
  putLe32(b + 20, uint32_t(t.modifiedNanoseconds));
  m_file.writeAt(kTableStampOffset, b, sizeof b);
  uint8_t stamp[8];
  putLe32(stamp, kStampMagic);
  putLe32(stamp + 4, t.recordCount);
  m_file.writeAt(kStampOffset, stamp, sizeof stamp);
}

CdxStamp stampOfTableFile(int fd, uint32_t recordCount) {
  struct stat st {};
  CdxStamp t;
  t.recordCount = recordCount;
  if (::fstat(fd, &st) != 0)
    return t; // matches no stored stamp: the next open checks the index in full
  t.size = uint64_t(st.st_size);
  t.modifiedSeconds = st.st_mtim.tv_sec;
  t.modifiedNanoseconds = st.st_mtim.tv_nsec;
  return t;
}

void CdxIndex::close(const CdxStamp& stamp) {
  if (m_file.isOpen() && m_marked) {
    writeStamp(stamp);
    setMark(false);
  }
  m_file.close();
  m_names.clear();
  m_trees.clear();
}

void CdxIndex::readDirectory() {
  uint8_t header[kHeaderSize];
  m_file.readAt(0, header, sizeof header);
  CdxTagHeader dir = parseCdxTagHeader(header);
  m_directoryRoot = dir.root;
  CdxKeyFormat format{dir.keyLength, ' '};
  uint8_t page[kCdxPage];
  CdxNode node;
  std::string error;
  uint32_t offset = dir.root;
  for (int depth = 0;; ++depth) { // down the leftmost branch to the first leaf
    readPage(offset, page);
    if (depth > kMaxDepth || !decodeCdxNode(page, format, node, error))
      bad("tag directory damaged in " + m_file.path() + ": " + error);
    if (node.leaf())
      break;
    if (node.entries.empty())
      bad("tag directory has an empty branch in " + m_file.path());
    offset = node.entries.front().child;
  }
  for (size_t pages = 0;; ++pages) {
    for (const auto& e : node.entries) {
      if (e.recNo < kHeaderSize || uint64_t(e.recNo) + kHeaderSize > m_end)
        bad("tag header outside the index file " + m_file.path());
      uint8_t tagHeader[kHeaderSize];
      m_file.readAt(e.recNo, tagHeader, sizeof tagHeader);
      m_names.push_back(upper(trimName(e.key)));
      m_trees.push_back(
          std::make_unique<CdxTree>(*this, e.recNo, parseCdxTagHeader(tagHeader), ' '));
    }
    if (node.right == kNoPage)
      break;
    if (pages > m_end / kCdxPage)
      bad("tag directory pages form a loop in " + m_file.path());
    readPage(node.right, page);
    if (!decodeCdxNode(page, format, node, error) || !node.leaf())
      bad("tag directory damaged in " + m_file.path());
  }
}

void CdxIndex::writeDirectory() {
  std::vector<size_t> order(m_names.size());
  for (size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return m_names[a] < m_names[b]; });
  // Tags live sorted by name, which is also the order callers number them.
  std::vector<std::string> names;
  std::vector<std::unique_ptr<CdxTree>> trees;
  CdxNode root;
  root.attr = kCdxRoot | kCdxLeaf;
  for (size_t i : order) {
    names.push_back(m_names[i]);
    trees.push_back(std::move(m_trees[i]));
    std::string key = names.back();
    key.resize(kTagNameLength, ' ');
    root.entries.push_back(CdxEntry{key, trees.back()->headerOffset(), 0});
  }
  m_names = std::move(names);
  m_trees = std::move(trees);
  uint8_t page[kCdxPage];
  if (!encodeCdxNode(root, CdxKeyFormat{kTagNameLength, ' '}, page))
    throw XBaseError(ErrorCode::Range, "too many tags for one index file");
  // A directory that had grown beyond one page (other writers) is replaced
  // by this single page written over its root.
  writePage(m_directoryRoot, page);
  writeRoot(0, m_directoryRoot);
}

int CdxIndex::findTag(const std::string& name) const {
  std::string wanted = upper(trimName(name));
  for (size_t i = 0; i < m_names.size(); ++i)
    if (m_names[i] == wanted)
      return int(i);
  return -1;
}

void CdxIndex::setPad(size_t i, uint8_t pad) {
  const CdxTree& old = *m_trees[i];
  if (old.format().pad == pad)
    return;
  m_trees[i] = std::make_unique<CdxTree>(*this, old.headerOffset(), old.header(), pad);
}

size_t CdxIndex::addTag(const CdxTagDefinition& d) {
  std::string name = upper(trimName(d.name));
  if (name.empty() || name.size() > kTagNameLength)
    throw XBaseError(ErrorCode::BadExpression, "tag name must have 1 to 10 characters");
  beginUpdate();
  CdxTagHeader h;
  h.keyLength = d.keyLength;
  h.descending = d.descending;
  h.keyExpression = d.keyExpression;
  h.forExpression = d.forExpression;
  uint32_t headerOffset = allocatePage();
  uint32_t second = allocatePage();
  h.root = allocatePage();
  if (second != headerOffset + kCdxPage)
    bad("tag header pages are not adjacent"); // cannot happen: pages come from the end
  uint8_t image[kHeaderSize];
  formatCdxTagHeader(h, false, image);
  m_file.writeAt(headerOffset, image, sizeof image);
  CdxNode root;
  root.attr = kCdxRoot | kCdxLeaf;
  uint8_t page[kCdxPage];
  encodeCdxNode(root, CdxKeyFormat{d.keyLength, d.pad}, page);
  writePage(h.root, page);
  auto tree = std::make_unique<CdxTree>(*this, headerOffset, h, d.pad);
  int existing = findTag(name);
  if (existing >= 0) {
    m_trees[size_t(existing)] = std::move(tree);
  } else {
    m_names.push_back(name);
    m_trees.push_back(std::move(tree));
  }
  writeDirectory();
  return size_t(findTag(name));
}

void CdxIndex::beginUpdate() {
  if (!m_marked)
    setMark(true);
}

void CdxIndex::setMark(bool on) {
  uint8_t mark[4];
  putLe32(mark, on ? 1 : 0);
  m_file.writeAt(kUpdateMarkOffset, mark, sizeof mark);
  m_marked = on;
}

uint32_t CdxIndex::allocatePage() {
  if (!m_free.empty()) {
    uint32_t offset = m_free.back();
    m_free.pop_back();
    return offset;
  }
  if (m_end > 0xFFFFFFFFu - 2 * kCdxPage)
    throw XBaseError(ErrorCode::Range, "index file full: " + m_file.path());
  uint32_t offset = m_end;
  m_end += kCdxPage;
  return offset;
}

void CdxIndex::freePage(uint32_t offset) {
  m_free.push_back(offset);
}

void CdxIndex::readPage(uint32_t offset, uint8_t* page) {
  if (offset < kHeaderSize || offset % kCdxPage != 0 || uint64_t(offset) + kCdxPage > m_end)
    bad("index page " + std::to_string(offset) + " outside " + m_file.path());
  m_file.readAt(offset, page, kCdxPage);
}

void CdxIndex::writePage(uint32_t offset, const uint8_t* page) {
  m_file.writeAt(offset, page, kCdxPage);
}

void CdxIndex::writeRoot(uint32_t headerOffset, uint32_t root) {
  uint8_t p[4];
  putLe32(p, root);
  m_file.writeAt(headerOffset, p, sizeof p);
}

} // namespace xbase
