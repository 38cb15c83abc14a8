#pragma once
// The four fax tables: their files, field lists and index tags, and the
// procedures that open them (creating a missing table or index on the way).
// All files lie in the data folder; each table is opened exclusively.

#include <span>
#include <string>

namespace xbase {
class Table;
}

namespace app {

struct FieldSchema {
  const char* Name;
  char Type; // C, L, D, N or M
  int Width;
  int Decimals;
};

struct TableSchema {
  const char* FileName; // "TOV.DBF"
  std::span<const FieldSchema> Fields;
  const char* Tag;           // the table's one index tag
  const char* KeyExpression; // its key when the table is opened
  const char* RebuildKey;    // its key when maintenance rebuilds it
  bool Descending;
  const char* Condition; // keeps deleted records out of the tag
  bool CloseBeforeOpen;  // the main window's tables are reopened in place
  bool GoFirstAfterOpen;
  bool SelectTagAfterOpen; // the other tables get their order from the main window
};

// ".not. deleted()": the filter of every table and the condition of every tag.
inline constexpr const char* NotDeleted = ".not. deleted()";

extern const TableSchema SentTable;     // TOV.DBF, faxes to send and sent
extern const TableSchema ReceivedTable; // TOVREC.DBF
extern const TableSchema CoverTable;    // TOVCOV.DBF, cover sheet templates
extern const TableSchema PhoneTable;    // TOVPB.DBF, the phone book

// The index file of a table file: the name without its last three characters
// plus "CDX" (TOV.DBF gives TOV.CDX).
std::string IndexFileName(const std::string& tableFileName);

// Creates the table in dir (which ends with "/") with its fields in schema
// order and no index. True when the file exists afterwards; any error gives
// false.
bool MakeTable(const TableSchema& schema, const std::string& dir);

// Opens the table in dir into the given component: creates the table when it
// is missing, creates the tag when the index file is missing (or lacks the
// tag, or is damaged beyond opening), applies the ".not. deleted()" filter and
// selects the order as the table's schema says. False only when the table can
// be neither opened nor created; later errors leave the table open and true.
bool OpenTable(const TableSchema& schema, xbase::Table& table, const std::string& dir);

// The same in the data folder, under the names the windows use.
bool OpenFaxDBF(xbase::Table& table);
bool MakeFaxDBF();
bool OpenRecFaxDBF(xbase::Table& table);
bool MakeRecFaxDBF();
bool OpenCoverDBF(xbase::Table& table);
bool MakeCoverDBF();
bool OpenPhoneDBF(xbase::Table& table);
bool MakePhoneDBF();

} // namespace app
