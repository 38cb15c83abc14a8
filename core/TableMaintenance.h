#pragma once
// "Rebuild Indexes": for each of the four tables, the index file is deleted,
// the records carrying the deletion mark are packed away and the index tag is
// built again. The Sent table's tag is rebuilt on the date alone.

#include <functional>
#include <string>
#include <vector>

namespace xbase {
class Table;
}

namespace app {

// Receives each status text before its step runs (the window shows it and
// lets the screen catch up).
using MaintenanceProgress = std::function<void(const std::string& text)>;

struct MaintenanceTables {
  xbase::Table& Sent;     // open for the whole run, left open with its new index
  xbase::Table& Received; // the same
  xbase::Table& Phone;    // opened (and created when missing) here, closed afterwards
  xbase::Table& Cover;    // the same; a cover table that cannot be opened is skipped
};

// Runs the whole maintenance on the tables in dir (ending with "/"). A failing
// pack is tried once more and a second failure ignored; any other error (a
// tag that cannot be built, say) ends the work by throwing.
void RebuildIndexes(MaintenanceTables tables, const std::string& dir,
                    const MaintenanceProgress& progress);

// The same in the data folder.
void RebuildIndexes(MaintenanceTables tables, const MaintenanceProgress& progress);

// One thing the check found wrong, in words for the user, e.g.
// "TOVPB.CDX, tag NAME: page 3584: branch key ... differs from the last key
// of child page 4096, ...". FileName is the table's name ("TOVPB.DBF").
struct TableFinding {
  std::string FileName;
  std::string Text;
};

// "Check tables": checks the four tables in dir (ending with "/") before
// anything is repaired, and changes nothing itself: the header against the
// file, dates, memo pointers, and every index tag's pages (key order, branch
// keys equal to their child's last key, sibling chains), key counts against
// the live records and each key against its record. What the engine already
// mended when a table was opened (a record count cut to the file, a stale
// index rebuilt) is reported too. progress gets "Checking FAX file",
// "Checking Received FAX file", "Checking PHONE file", "Checking COVER file"
// before each table. Tables open in `tables` are checked as they are;
// Phone and Cover are opened for the check and closed again, and skipped
// when they do not exist (nothing is created). An empty result: no problem.
std::vector<TableFinding> CheckTables(MaintenanceTables tables, const std::string& dir,
                                      const MaintenanceProgress& progress);
std::vector<TableFinding> CheckTables(MaintenanceTables tables,
                                      const MaintenanceProgress& progress);

} // namespace app
