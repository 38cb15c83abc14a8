#include "app/core/TableMaintenance.h"

#include "app/core/FaxTables.h"
#include "platform/PendingEvents.h"
#include "platform/ProgramDir.h"
#include "xbase/Table.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace app {

namespace {

struct StepTexts {
  const char* Removing;
  const char* Rebuilding;
};

void report(const MaintenanceProgress& progress, const char* text) {
  if (progress)
    progress(text);
  platform::processPendingEvents();
}

void dropIndexFile(const TableSchema& schema, xbase::Table& table, const std::string& dir) {
  table.closeIndexes();
  std::error_code ec; // a file that will not go is not worth stopping for
  fs::remove(dir + IndexFileName(schema.FileName), ec);
}

// A pack that fails is retried once; a second failure leaves the table
// unpacked and the index is rebuilt all the same.
void packWithRetry(xbase::Table& table) {
  try {
    table.pack();
  } catch (const std::exception&) {
    try {
      table.pack();
    } catch (const std::exception&) {
    }
  }
}

void rebuildTable(const TableSchema& schema, xbase::Table& table, const std::string& dir,
                  const StepTexts& texts, const MaintenanceProgress& progress) {
  report(progress, texts.Removing);
  dropIndexFile(schema, table, dir);
  packWithRetry(table);
  report(progress, texts.Rebuilding);
  table.indexTag(schema.Tag, schema.RebuildKey, schema.Descending, schema.Condition);
}

void ensureOpen(const TableSchema& schema, xbase::Table& table, const std::string& dir) {
  if (!table.isOpen() && !OpenTable(schema, table, dir))
    throw xbase::XBaseError(xbase::ErrorCode::Io,
                            std::string("Cannot open ") + dir + schema.FileName);
}

} // namespace

void RebuildIndexes(MaintenanceTables tables, const std::string& dir,
                    const MaintenanceProgress& progress) {
  ensureOpen(SentTable, tables.Sent, dir);
  rebuildTable(SentTable, tables.Sent, dir,
               {"Removing FAX file records marked for deletion", "Rebuilding FAX file indexes"},
               progress);

  ensureOpen(ReceivedTable, tables.Received, dir);
  rebuildTable(
      ReceivedTable, tables.Received, dir,
      {"Removing Received FAX records marked for deletion", "Rebuilding Received FAX indexes"},
      progress);

  if (OpenTable(PhoneTable, tables.Phone, dir)) {
    rebuildTable(
        PhoneTable, tables.Phone, dir,
        {"Removing PHONE file records marked for deletion", "Rebuilding PHONE file indexes"},
        progress);
    tables.Phone.close();
  }

  if (!OpenTable(CoverTable, tables.Cover, dir))
    return;
  rebuildTable(CoverTable, tables.Cover, dir,
               {"Removing COVER file records marked for deletion", "Rebuilding COVER file indexes"},
               progress);
  tables.Cover.close();
}

void RebuildIndexes(MaintenanceTables tables, const MaintenanceProgress& progress) {
  RebuildIndexes(tables, platform::ProgramDir(), progress);
}

} // namespace app
