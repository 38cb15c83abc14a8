#pragma once
// "Rebuild Indexes": for each of the four tables, the index file is deleted,
// the records carrying the deletion mark are packed away and the index tag is
// built again. The Sent table's tag is rebuilt on the date alone.

#include <functional>
#include <string>

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

} // namespace app
