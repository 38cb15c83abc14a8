#pragma once
// One xBase table in the FoxPro format: the DBF file, its FPT memo file and its
// structural CDX compound index, opened exclusively by this process.
//
// Each method stands for one table-engine operation of the program; the
// comment names the operation. Every failure throws xbase::XBaseError.
// A Table is used from one thread at a time.

#include "xbase/FieldDef.h"
#include "xbase/XBaseError.h"

#include <memory>
#include <string>
#include <vector>

namespace xbase {

// Engine-wide options (te_SetDeleted, te_SysProp). Set them before opening
// tables; every open table consults them on each move.
class TableEnv {
public:
  // true: records carrying the deletion mark are skipped by every move and
  // not counted by queryRecCount(). Default false.
  static void setDeleted(bool hide);
  static bool deleted();
  // Numbered engine properties. They are kept and returned but change nothing
  // in this engine (the program sets property 1009 to 0 at start).
  static void setSysProp(int property, long value);
  static long sysProp(int property);
};

// Creating a new table (te_CreateNew, te_CreateField, te_CreateExec):
//   TableCreator c(dir + "TOV.DBF", 10);
//   c.addField("SUBJECT", 'C', 50, 0); ...
//   c.execute();
// The table is written in the FoxPro format: version byte 0xF5 and an empty
// FPT memo file when a memo field exists, 0x03 otherwise. An existing table
// of that name is replaced unless it is open (then Locked is thrown). No index
// is created.
class TableCreator {
public:
  TableCreator(std::string path, int fieldCount);
  // Types C, L, D, N, M. Widths: C 1-254, L 1, D 8, N 1-20 (decimals < width),
  // M 10. Names 1-10 letters, digits or '_', stored upper case.
  void addField(const std::string& name, char type, int width, int decimals = 0);
  void execute();

private:
  std::string m_path;
  std::vector<FieldDef> m_fields;
};

enum class TableState { Inactive, Browse, Edit, Insert };

class Table {
public:
  Table();
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // --- open, close (te_Use, te_Close) ---
  // Opens the DBF exclusively (a second open, here or in another process,
  // throws Locked), its FPT when it has memo fields, and the CDX of the same
  // base name when one exists. Damage is detected here: see Table.cpp.
  void open(const std::string& dbfPath);
  // Discards an unposted edit, writes what is pending and frees the files.
  void close();
  bool isOpen() const;
  TableState state() const;
  const std::string& path() const;
  const std::vector<FieldDef>& fields() const;
  int fieldIndex(const std::string& name) const; // -1 when missing, any letter case

  // --- index tags (te_IndexTag, te_TagArea, te_SetOrder, te_IndexOrd,
  //     te_CloseIndexes) ---
  // Creates (or replaces) a tag in the table's CDX, creating the CDX when
  // there is none, and makes it the current order. forCondition may be empty.
  void indexTag(const std::string& tag, const std::string& keyExpression, bool descending,
                const std::string& forCondition);
  std::vector<std::string> tagNames() const; // in the CDX's order; position n = order n
  // 0 or "" selects natural (record-number) order.
  void setOrder(int order);
  void setOrder(const std::string& tag);
  int indexOrd() const;         // 0 for natural order
  std::string orderTag() const; // "" for natural order
  // Closes the CDX so that it may be deleted; order becomes natural.
  void closeIndexes();
  bool hasIndex() const;

  // --- filter and counts (te_Query, te_QueryRecCount, te_RecCount) ---
  // A logical expression over the record (e.g. ".not. deleted()"); only
  // records for which it is true are visited. "" removes the filter.
  void setFilter(const std::string& condition);
  const std::string& filter() const;
  long queryRecCount();  // visible records (filter and hidden deleted applied)
  long recCount() const; // records in the file, deleted included
  // The current record's number, or recCount() + 1 when there is none.
  long recNo() const;

  // --- moving (te_Go, first, last, skip) ---
  // go() makes that record current even when it is not visible; Range when
  // it does not exist. The other moves visit visible records in the current
  // order. Past either end, eof()/bof() become true and the current record
  // stays the last/first visible one (none when nothing is visible).
  void go(long recNo);
  void first();
  void last();
  void next();
  void prior();
  void skip(long count);
  bool eof() const;
  bool bof() const;

  // --- record buffer (append, edit, post, cancel, delete, recall, refresh) ---
  void append();       // a blank record buffer; it becomes a record on post()
  void edit();         // start changing the current record
  void post();         // write the buffer: memos, then record, then header and index
  void cancel();       // forget the buffer
  void deleteRecord(); // set the deletion mark on the current record (posts it)
  void recall();       // clear the deletion mark
  void refresh();      // drop the buffer and reread the current record from disk
  bool isDeleted() const;

  // --- field values of the current record or of the buffer being edited ---
  std::string fieldRaw(const std::string& field) const;    // the stored bytes
  std::string fieldString(const std::string& field) const; // trailing blanks removed
  std::string fieldDate(const std::string& field) const;   // "YYYYMMDD", "" when blank
  bool fieldLogical(const std::string& field) const;
  double fieldNumber(const std::string& field) const; // 0 when blank
  // Setters need state Edit or Insert. Text is padded or cut to the width;
  // a date is "YYYYMMDD" or "" (blank); a number that does not fit throws Range.
  void setField(const std::string& field, const std::string& value);
  void setDate(const std::string& field, const std::string& yyyymmdd);
  void setLogical(const std::string& field, bool value);
  void setNumber(const std::string& field, double value);

  // --- memos (te_BlobToFile, te_Replace) ---
  std::string memo(const std::string& field) const;                 // exact bytes, "" when empty
  void setMemo(const std::string& field, const std::string& bytes); // on the buffer
  // Writes the memo's bytes to a new file; false when that fails.
  bool memoToFile(const std::string& field, const std::string& path) const;
  // The memo holds exactly the file's bytes. Needs Edit or Insert.
  void memoFromFile(const std::string& field, const std::string& path);

  // --- maintenance (te_Pack) ---
  // Removes the records carrying the deletion mark, reclaims their memo
  // space and rebuilds every tag of the open CDX. Atomic against crashes:
  // the old or the new table survives, never a mix.
  void pack();

  // --- structural check (TableCheck.cpp) ---
  // Reads the table, memo and index files as they are on disk, changes
  // nothing, and returns what is wrong, one sentence each (empty when all is
  // well): the header's record count against the file, dates that are not
  // dates, memo pointers outside the memo file, and for every tag the order
  // of keys within and across pages, branch keys equal to the last key of
  // their child, sibling chains, one key per record that passes the tag's
  // condition and each key equal to its expression over its record.
  std::vector<std::string> checkStructure();
  // What open() found wrong and mended: a record count cut to the file, an
  // index rebuilt (with the reason).
  const std::vector<std::string>& openRepairs() const;

  struct Impl;

private:
  std::unique_ptr<Impl> m;
};

} // namespace xbase
