#pragma once
// One 512-byte page of a CDX index tree, decoded.
//
// Interior pages hold (key, record number, child page) triples, the key being
// the highest key under that child. Leaf pages hold (key, record number)
// pairs compressed: each entry packs the record number, the count of leading
// bytes shared with the previous key and the count of trailing pad bytes into
// a few bits, and the remaining key bytes are stacked from the page's end
// downwards.

#include <cstdint>
#include <string>
#include <vector>

namespace xbase {

constexpr uint32_t kCdxPage = 512;
constexpr uint32_t kNoPage = 0xFFFFFFFF;

enum CdxNodeAttr : uint16_t { kCdxInterior = 0, kCdxRoot = 1, kCdxLeaf = 2 };

struct CdxEntry {
  std::string key; // always keyLength bytes
  uint32_t recNo = 0;
  uint32_t child = 0; // interior pages only
};

struct CdxNode {
  uint32_t offset = 0;
  uint16_t attr = kCdxLeaf;
  uint32_t left = kNoPage;
  uint32_t right = kNoPage;
  std::vector<CdxEntry> entries;

  bool leaf() const { return attr & kCdxLeaf; }
  bool root() const { return attr & kCdxRoot; }
};

struct CdxKeyFormat {
  size_t length = 0;
  uint8_t pad = ' '; // trailing bytes the leaf compression drops
};

// Returns false (with a reason) for a page that cannot be a valid node.
bool decodeCdxNode(const uint8_t* page, const CdxKeyFormat& format, CdxNode& node,
                   std::string& error);
// Returns false when the entries do not fit in one page.
bool encodeCdxNode(const CdxNode& node, const CdxKeyFormat& format, uint8_t* page);

size_t cdxInteriorCapacity(size_t keyLength);
// Bytes one leaf entry needs at most, given the highest record number: used
// when packing leaves in bulk.
size_t cdxLeafEntryBytes(size_t keyLength, uint32_t maxRecNo);

// (key, recNo) ordering of index entries.
inline int compareEntry(const std::string& key, uint32_t recNo, const CdxEntry& e) {
  int c = key.compare(e.key);
  if (c == 0)
    return recNo < e.recNo ? -1 : recNo > e.recNo ? 1 : 0;
  return c;
}

} // namespace xbase
