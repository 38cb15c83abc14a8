#pragma once
// A CDX compound index file: a tag directory (itself a small B-tree of tag
// names pointing at tag headers) and one CdxTree per tag.
//
// Damage detection, in reserved bytes of the directory header that other
// engines leave alone:
//  - while this engine has the file open for changes it keeps an "update in
//    progress" mark there and clears it on a clean close; a file found with
//    the mark set was left by a process that died mid-change;
//  - on a clean close it stamps the state of the table file it was kept in
//    step with: record count, size and modification time. An index
//    whose stamp differs from the table file belongs to another state of the
//    table (the index restored from a backup, or the table changed by a
//    program that left the index alone: a deletion mark cleared, say).
// The table rebuilds such an index on open. Checking the stamp costs one
// fstat, so it holds at any table size; an index without a stamp (written
// by another engine, or by an older version of this one) gets the full key
// count check once and the stamp on close.

#include "xbase/CdxTree.h"
#include "xbase/FileIo.h"

#include <memory>
#include <string>
#include <vector>

namespace xbase {

struct CdxTagDefinition {
  std::string name;
  std::string keyExpression;
  std::string forExpression;
  bool descending = false;
  size_t keyLength = 0;
  uint8_t pad = ' ';
};

// The state of a table file as the index stamp records it.
struct CdxStamp {
  uint32_t recordCount = 0;
  uint64_t size = 0;
  int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
  bool operator==(const CdxStamp&) const = default;
};

// The stamp of the open table file fd holding recordCount records.
CdxStamp stampOfTableFile(int fd, uint32_t recordCount);

class CdxIndex {
public:
  // Writes an index with no tags.
  static void create(File& file);

  // Reads the directory and tag headers. pads gives each tag's pad byte once
  // its key type is known; until then trees use ' '. Throws BadIndex.
  void open(File&& file);
  // stamp: written into the file when it was changed (see above).
  void close(const CdxStamp& stamp);
  bool isOpen() const { return m_file.isOpen(); }
  File& file() { return m_file; }
  bool foundUpdateMark() const { return m_foundMark; }
  // false when the file carries no stamp (written by another engine).
  bool stampedCount(uint32_t& count) const;
  // false when the file carries no table-file stamp.
  bool stampedTable(CdxStamp& stamp) const;

  size_t tagCount() const { return m_trees.size(); }
  const std::string& tagName(size_t i) const { return m_names[i]; }
  CdxTree& tree(size_t i) { return *m_trees[i]; }
  const CdxTree& tree(size_t i) const { return *m_trees[i]; }
  int findTag(const std::string& name) const; // -1 when missing
  // Fixes the pad byte of tag i once the table knows its key type.
  void setPad(size_t i, uint8_t pad);

  // Adds (or replaces) a tag with an empty tree; returns its position.
  size_t addTag(const CdxTagDefinition& definition);

  // Called before the first change; writes the update mark once.
  void beginUpdate();

  uint32_t allocatePage();
  void freePage(uint32_t offset);
  void readPage(uint32_t offset, uint8_t* page);
  void writePage(uint32_t offset, const uint8_t* page);
  void writeRoot(uint32_t headerOffset, uint32_t root);

private:
  void readDirectory();
  void readTableStamp();
  void writeStamp(const CdxStamp& stamp);
  void writeDirectory();
  void setMark(bool on);

  File m_file;
  uint32_t m_end = 0;
  uint32_t m_directoryRoot = 0;
  std::vector<std::string> m_names;
  std::vector<std::unique_ptr<CdxTree>> m_trees;
  std::vector<uint32_t> m_free;
  bool m_foundMark = false;
  bool m_marked = false;
  bool m_hasStamp = false;
  uint32_t m_stamp = 0;
  bool m_hasTableStamp = false;
  CdxStamp m_tableStamp;
};

} // namespace xbase
