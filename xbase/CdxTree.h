#pragma once
// The B-tree of one CDX tag: its header (key and FOR expressions, key length,
// descending flag) and its pages, with insert, remove, bulk build and a
// cursor for walking the keys in order.
//
// Keys are always kept in ascending (key, record number) order on disk;
// a descending tag is only walked backwards.

#include "xbase/CdxNode.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace xbase {

class CdxIndex;

struct CdxTagHeader {
  uint32_t root = 0;
  size_t keyLength = 0;
  uint8_t options = 0;
  bool descending = false;
  std::string keyExpression;
  std::string forExpression;
};

// Reads a 1024-byte tag header image; throws BadIndex when it is unusable.
CdxTagHeader parseCdxTagHeader(const uint8_t* header);
void formatCdxTagHeader(const CdxTagHeader& h, bool directory, uint8_t* header);

// A position in the tree: valid while the tree's generation is unchanged.
// After a change it is found again by its (key, record number).
struct CdxCursor {
  uint32_t leaf = kNoPage;
  size_t index = 0;
  uint64_t generation = 0;
  std::string key;
  uint32_t recNo = 0;
};

class CdxTree {
public:
  CdxTree(CdxIndex& index, uint32_t headerOffset, const CdxTagHeader& header, uint8_t pad);

  const CdxTagHeader& header() const { return m_header; }
  uint32_t headerOffset() const { return m_headerOffset; }
  const CdxKeyFormat& format() const { return m_format; }
  uint64_t generation() const { return m_generation; }
  void touch(); // a new generation: cursors find their place again

  void insert(const std::string& key, uint32_t recNo);
  bool remove(const std::string& key, uint32_t recNo);
  // Writes a whole tree for entries already in ascending order, replacing
  // the current one (its pages are abandoned).
  void build(const std::vector<CdxEntry>& sorted);
  // Throws BadIndex when the root cannot be read: a cheap check on open.
  void checkRoot();
  // Keys in the tree, counted along the leaf level.
  uint64_t countKeys();

  // Structural check of the pages as they are on disk (CdxCheck.cpp): keys in
  // order within and across pages, every interior key equal to the last key
  // of its child, one depth for all leaves, consistent sibling chains. Adds
  // what is wrong to findings (each prefixed with `where`) and the leaf
  // entries, in order, to keys.
  void checkPages(const std::string& where, std::vector<CdxEntry>& keys,
                  std::vector<std::string>& findings);

  // Ascending walk. Each returns false when there is no such entry.
  bool first(CdxCursor& c);
  bool last(CdxCursor& c);
  bool next(CdxCursor& c);
  bool prior(CdxCursor& c);
  // First entry >= (key, recNo).
  bool seek(const std::string& key, uint32_t recNo, CdxCursor& c);
  const CdxEntry& at(const CdxCursor& c);

private:
  struct Split {
    bool happened = false;
    CdxEntry leftMax, rightMax; // child set to the page
  };

  CdxNode& load(uint32_t offset);
  void store(CdxNode& node);
  Split insertInto(uint32_t offset, const CdxEntry& entry, int depth);
  Split splitNode(CdxNode& node);
  bool removeFrom(uint32_t offset, const std::string& key, uint32_t recNo, int depth,
                  bool& emptied);
  void unlink(CdxNode& node);
  void setRoot(uint32_t offset);
  bool descend(uint32_t offset, bool toLast, CdxCursor& c);
  bool settle(CdxCursor& c, uint32_t leaf, size_t index);
  bool stepForward(CdxCursor& c);
  bool stepBack(CdxCursor& c);
  uint32_t buildLevel(std::vector<CdxEntry>& level, bool leaves);
  std::vector<std::pair<size_t, size_t>> pageRanges(const std::vector<CdxEntry>& level,
                                                    bool leaves) const;

  CdxIndex& m_index;
  uint32_t m_headerOffset;
  CdxTagHeader m_header;
  CdxKeyFormat m_format;
  std::unordered_map<uint32_t, CdxNode> m_cache;
  uint64_t m_generation;
};

} // namespace xbase
