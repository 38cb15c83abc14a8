#pragma once
// Internal state of an open Table, shared by the Table*.cpp files.

#include "xbase/CdxIndex.h"
#include "xbase/DbfFile.h"
#include "xbase/Expression.h"
#include "xbase/MemoFile.h"
#include "xbase/Table.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace xbase {

struct TagRuntime {
  Expression key;
  Expression condition; // empty: every record
};

struct Table::Impl {
  std::string path;
  DbfFile dbf;
  MemoFile memo;
  CdxIndex cdx;
  std::vector<TagRuntime> tags; // parallel to the CDX's trees
  int order = 0;                // 0 natural, else 1-based tag position
  std::string filterSource;
  Expression filter;
  TableState state = TableState::Inactive;

  uint32_t current = 0; // record number, 0 for none
  std::string record;   // image of the current record or the edit buffer
  std::string original; // image before edit() began
  std::map<int, std::string> pendingMemos;
  bool eof = true, bof = true;
  CdxCursor cursor;
  bool rebuilding = false;
  std::vector<std::string> repairs; // what open() found wrong and mended

  // --- helpers (TableIndex.cpp) ---
  RecordView view(const std::string& image, uint32_t recNo) const {
    return RecordView{&dbf.fields(), &image, recNo};
  }
  void openIndex(const std::string& cdxPath);
  void loadTagRuntime();
  bool inTag(size_t tag, const std::string& image, uint32_t recNo) const;
  std::string keyOf(size_t tag, const std::string& image, uint32_t recNo) const;
  void updateIndexes(uint32_t recNo, const std::string& before, const std::string& after);
  void rebuildIndex();
  void buildTag(size_t tag);
  void scanRecords(const std::function<void(const std::string&, uint32_t)>& visit);
  void checkIndexOnOpen(bool tableRepaired);
  std::string indexDoubt(bool tableRepaired);
  bool keyCountsMatch();
  CdxStamp tableStamp();

  // --- helpers (TableMove.cpp) ---
  bool visible(const std::string& image, uint32_t recNo) const;
  bool moveNatural(bool forward, bool fromEnd);
  bool moveInTag(bool forward, bool fromEnd);
  bool move(bool forward, bool fromEnd);
  void placeCursor();
  void settle(bool found, bool forward, bool fromEnd);

  // --- helpers (TableEdit.cpp) ---
  const FieldDef& field(const std::string& name) const;
  void requireOpen() const;
  void requireEditing() const;
  void writeMemos();
};

std::string upperName(const std::string& s);
// The companion file (memo, index) of a table in any letter case; the name
// the table's own case gives when there is none yet.
std::string companionPath(const std::string& dbfPath, const std::string& upperExt);
std::string companionPath(const FolderNames& folder, const std::string& dbfPath,
                          const std::string& upperExt);

} // namespace xbase
