#include "xbase/CdxNode.h"

#include "xbase/FileIo.h"

#include <cstring>

namespace xbase {

namespace {

constexpr size_t kNodeHeader = 12; // attributes, count, left, right
constexpr size_t kLeafHeader = 24; // plus free space, masks and bit counts
constexpr size_t kLeafArea = kCdxPage - kLeafHeader;
constexpr size_t kInteriorArea = kCdxPage - kNodeHeader;

int bitsFor(uint64_t value) {
  int bits = 0;
  while (value >> bits)
    ++bits;
  return bits;
}

struct LeafBits {
  int rec, dup, trail, bytes;
};

LeafBits leafBits(size_t keyLength, uint32_t maxRecNo) {
  int dup = bitsFor(keyLength);
  int rec = bitsFor(maxRecNo);
  // At least three bytes per entry, as other writers use; whole bytes, with
  // the record number taking whatever bits are left.
  int bytes = std::max(3, (rec + 2 * dup + 7) / 8);
  return {bytes * 8 - 2 * dup, dup, dup, bytes};
}

bool decodeInterior(const uint8_t* page, const CdxKeyFormat& f, CdxNode& node, size_t count,
                    std::string& error) {
  size_t step = f.length + 8;
  if (count * step > kInteriorArea) {
    error = "interior page holds more keys than fit";
    return false;
  }
  node.entries.resize(count);
  const uint8_t* p = page + kNodeHeader;
  for (size_t i = 0; i < count; ++i, p += step) {
    CdxEntry& e = node.entries[i];
    e.key.assign(reinterpret_cast<const char*>(p), f.length);
    e.recNo = getBe32(p + f.length);
    e.child = getBe32(p + f.length + 4);
  }
  return true;
}

bool decodeLeaf(const uint8_t* page, const CdxKeyFormat& f, CdxNode& node, size_t count,
                std::string& error) {
  uint32_t recMask = getLe32(page + 14);
  uint8_t dupMask = page[18], trailMask = page[19];
  int recBits = page[20], dupBits = page[21], trailBits = page[22], bytes = page[23];
  if (bytes < 1 || bytes > 8 || recBits + dupBits + trailBits > bytes * 8 ||
      count * size_t(bytes) > kLeafArea) {
    error = "leaf page has impossible entry sizes";
    return false;
  }
  node.entries.resize(count);
  size_t dataEnd = kCdxPage; // key bytes grow down from the page's end
  size_t entriesEnd = kLeafHeader + count * size_t(bytes);
  const std::string* previous = nullptr;
  for (size_t i = 0; i < count; ++i) {
    uint64_t v = 0;
    for (int b = bytes - 1; b >= 0; --b)
      v = (v << 8) | page[kLeafHeader + i * size_t(bytes) + size_t(b)];
    size_t dup = size_t(v >> recBits) & dupMask;
    size_t trail = size_t(v >> (recBits + dupBits)) & trailMask;
    if (dup + trail > f.length || (i == 0 && dup > 0) || dup > (previous ? f.length : 0)) {
      error = "leaf entry with impossible key compression";
      return false;
    }
    size_t stored = f.length - dup - trail;
    if (dataEnd < entriesEnd + stored) {
      error = "leaf key bytes overlap the entry table";
      return false;
    }
    dataEnd -= stored;
    CdxEntry& e = node.entries[i];
    e.recNo = uint32_t(v) & recMask;
    e.key.assign(previous ? previous->data() : "", dup);
    e.key.append(reinterpret_cast<const char*>(page + dataEnd), stored);
    e.key.append(trail, char(f.pad));
    previous = &e.key;
  }
  return true;
}

size_t trailCount(const std::string& key, uint8_t pad) {
  size_t n = 0;
  while (n < key.size() && uint8_t(key[key.size() - 1 - n]) == pad)
    ++n;
  return n;
}

bool encodeLeaf(const CdxNode& node, const CdxKeyFormat& f, uint8_t* page) {
  uint32_t maxRec = 0;
  for (const auto& e : node.entries)
    maxRec = std::max(maxRec, e.recNo);
  LeafBits b = leafBits(f.length, maxRec);
  size_t dataEnd = kCdxPage;
  size_t used = node.entries.size() * size_t(b.bytes);
  if (used > kLeafArea)
    return false;
  for (size_t i = 0; i < node.entries.size(); ++i) {
    const std::string& key = node.entries[i].key;
    size_t trail = trailCount(key, f.pad);
    size_t dup = 0;
    if (i > 0) {
      const std::string& prev = node.entries[i - 1].key;
      while (dup < f.length - trail && key[dup] == prev[dup])
        ++dup;
    }
    size_t stored = f.length - dup - trail;
    used += stored;
    if (used > kLeafArea)
      return false;
    dataEnd -= stored;
    std::memcpy(page + dataEnd, key.data() + dup, stored);
    uint64_t v = uint64_t(node.entries[i].recNo) | uint64_t(dup) << b.rec |
                 uint64_t(trail) << (b.rec + b.dup);
    for (int k = 0; k < b.bytes; ++k)
      page[kLeafHeader + i * size_t(b.bytes) + size_t(k)] = uint8_t(v >> (8 * k));
  }
  putLe16(page + 12, uint16_t(kLeafArea - used));
  putLe32(page + 14, b.rec >= 32 ? 0xFFFFFFFFu : (1u << b.rec) - 1);
  page[18] = uint8_t((1u << b.dup) - 1);
  page[19] = uint8_t((1u << b.trail) - 1);
  page[20] = uint8_t(b.rec), page[21] = uint8_t(b.dup), page[22] = uint8_t(b.trail);
  page[23] = uint8_t(b.bytes);
  return true;
}

} // namespace

bool decodeCdxNode(const uint8_t* page, const CdxKeyFormat& format, CdxNode& node,
                   std::string& error) {
  node.attr = getLe16(page);
  size_t count = getLe16(page + 2);
  node.left = getLe32(page + 4);
  node.right = getLe32(page + 8);
  if (node.attr > (kCdxLeaf | kCdxRoot)) {
    error = "page has unknown node attributes";
    return false;
  }
  if (format.length == 0 || format.length > kInteriorArea - 8) {
    error = "impossible key length";
    return false;
  }
  bool ok = node.leaf() ? decodeLeaf(page, format, node, count, error)
                        : decodeInterior(page, format, node, count, error);
  // Entries must rise strictly: a page that repeats or reorders them would
  // make a walk visit a record twice or skip records.
  for (size_t i = 1; ok && i < node.entries.size(); ++i) {
    const CdxEntry& a = node.entries[i - 1];
    if (compareEntry(a.key, a.recNo, node.entries[i]) >= 0) {
      error = "page entries out of order";
      ok = false;
    }
  }
  return ok;
}

bool encodeCdxNode(const CdxNode& node, const CdxKeyFormat& format, uint8_t* page) {
  std::memset(page, 0, kCdxPage);
  putLe16(page, node.attr);
  putLe16(page + 2, uint16_t(node.entries.size()));
  putLe32(page + 4, node.left);
  putLe32(page + 8, node.right);
  if (node.leaf())
    return encodeLeaf(node, format, page);
  if (node.entries.size() > cdxInteriorCapacity(format.length))
    return false;
  uint8_t* p = page + kNodeHeader;
  for (const auto& e : node.entries) {
    std::memcpy(p, e.key.data(), format.length);
    putBe32(p + format.length, e.recNo);
    putBe32(p + format.length + 4, e.child);
    p += format.length + 8;
  }
  return true;
}

size_t cdxInteriorCapacity(size_t keyLength) {
  return kInteriorArea / (keyLength + 8);
}

size_t cdxLeafEntryBytes(size_t keyLength, uint32_t maxRecNo) {
  return size_t(leafBits(keyLength, maxRecNo).bytes) + keyLength;
}

} // namespace xbase
