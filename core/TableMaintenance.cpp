#include "core/TableMaintenance.h"

#include "core/FaxTables.h"
#include "platform/PendingEvents.h"
#include "platform/ProgramDir.h"
#include "xbase/FileIo.h"
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
  try {
    fs::remove(xbase::findAnyCase(dir + IndexFileName(schema.FileName)), ec);
  } catch (const xbase::XBaseError&) {
  }
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

namespace {

void addFindings(const TableSchema& schema, const std::vector<std::string>& texts,
                 std::vector<TableFinding>& findings) {
  for (const auto& text : texts)
    findings.push_back(TableFinding{schema.FileName, text});
}

// Checks one table as it is; a table the window does not hold open is
// opened for the check and closed again, a missing one is skipped.
void checkTable(const TableSchema& schema, xbase::Table& table, const std::string& dir,
                const char* text, const MaintenanceProgress& progress,
                std::vector<TableFinding>& findings) {
  report(progress, text);
  bool opened = false;
  try {
    if (!table.isOpen()) {
      if (xbase::findAnyCase(dir + schema.FileName).empty())
        return;
      table.open(dir + schema.FileName);
      opened = true;
    }
    for (const auto& repair : table.openRepairs())
      findings.push_back(TableFinding{schema.FileName, "mended when it was opened: " + repair});
    addFindings(schema, table.checkStructure(), findings);
  } catch (const std::exception& e) {
    findings.push_back(TableFinding{schema.FileName, e.what()});
  }
  if (opened)
    table.close();
}

} // namespace

std::vector<TableFinding> CheckTables(MaintenanceTables tables, const std::string& dir,
                                      const MaintenanceProgress& progress) {
  std::vector<TableFinding> findings;
  checkTable(SentTable, tables.Sent, dir, "Checking FAX file", progress, findings);
  checkTable(ReceivedTable, tables.Received, dir, "Checking Received FAX file", progress, findings);
  checkTable(PhoneTable, tables.Phone, dir, "Checking PHONE file", progress, findings);
  checkTable(CoverTable, tables.Cover, dir, "Checking COVER file", progress, findings);
  return findings;
}

std::vector<TableFinding> CheckTables(MaintenanceTables tables,
                                      const MaintenanceProgress& progress) {
  return CheckTables(tables, platform::ProgramDir(), progress);
}

} // namespace app
