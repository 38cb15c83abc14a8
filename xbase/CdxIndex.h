#pragma once
// A CDX compound index file: a tag directory (itself a small B-tree of tag
// names pointing at tag headers) and one CdxTree per tag.
//
// Damage detection, in reserved bytes of the directory header that other
// engines leave alone:
//  - while this engine has the file open for changes it keeps an "update in
//    progress" mark there and clears it on a clean close; a file found with
//    the mark set was left by a process that died mid-change;
//  - on a clean close it stamps the table's record count; an index whose
//    stamp differs from the table's count belongs to another state of the
//    table (restored from a backup, or the table was changed without it).
// The table rebuilds such an index on open.

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

class CdxIndex {
public:
  // Writes an index with no tags.
  static void create(File& file);

  // Reads the directory and tag headers. pads gives each tag's pad byte once
  // its key type is known; until then trees use ' '. Throws BadIndex.
  void open(File&& file);
  // recordCount: stamped into the file when it was changed (see above).
  void close(uint32_t recordCount);
  bool isOpen() const { return m_file.isOpen(); }
  File& file() { return m_file; }
  bool foundUpdateMark() const { return m_foundMark; }
  // false when the file carries no stamp (written by another engine).
  bool stampedCount(uint32_t& count) const;

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
};

} // namespace xbase
