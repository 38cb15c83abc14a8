#include "core/FaxTables.h"

#include "platform/ProgramDir.h"
#include "xbase/FileIo.h"
#include "xbase/Table.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace app {

namespace {

constexpr FieldSchema SentFields[] = {
    {"SUBJECT", 'C', 50, 0}, {"SENT", 'L', 1, 0},         {"DATESENT", 'D', 8, 0},
    {"TIMESENT", 'C', 5, 0}, {"RECIPIENT", 'C', 35, 0},   {"PHONE", 'C', 25, 0},
    {"PAGES", 'N', 2, 0},    {"LASTRESULT", 'C', 100, 0}, {"RTFCOVER", 'M', 10, 0},
    {"RTFDOC", 'M', 10, 0},
};

constexpr FieldSchema ReceivedFields[] = {
    {"DATEREC", 'D', 8, 0}, {"TIMEREC", 'C', 5, 0},  {"FROM", 'C', 20, 0},
    {"PAGES", 'N', 2, 0},   {"FAXFILE", 'C', 12, 0}, {"NOTES", 'C', 60, 0},
};

constexpr FieldSchema CoverFields[] = {{"DESCRIPT", 'C', 35, 0}, {"COVER", 'M', 10, 0}};

constexpr FieldSchema PhoneFields[] = {{"NAME", 'C', 35, 0}, {"PHONE", 'C', 25, 0}};

// A table's files may carry their names in any letter case (a data folder
// copied from Windows); two files that differ only in case are refused.
bool fileExists(const std::string& path) {
  try {
    return !xbase::findAnyCase(path).empty();
  } catch (const xbase::XBaseError&) {
    return true; // the open reports the ambiguity; nothing is created beside it
  }
}

bool hasTag(const xbase::Table& table, const std::string& tag) {
  auto tags = table.tagNames();
  return std::any_of(tags.begin(), tags.end(), [&](const std::string& t) {
    return std::equal(
        t.begin(), t.end(), tag.begin(), tag.end(),
        [](unsigned char a, unsigned char b) { return std::toupper(a) == std::toupper(b); });
  });
}

// Opens the table; an index file too damaged to open is removed (it holds
// nothing that the table does not) so that the tag is rebuilt below.
void openWithIndexRecovery(xbase::Table& table, const std::string& path,
                           const std::string& indexPath) {
  try {
    table.open(path);
  } catch (const xbase::XBaseError& e) {
    if (e.code() != xbase::ErrorCode::BadIndex)
      throw;
    std::error_code ec;
    fs::remove(xbase::findAnyCase(indexPath), ec);
    table.open(path);
  }
}

// Steps after a successful open; their errors do not make the open fail.
void prepareOpenTable(const TableSchema& schema, xbase::Table& table,
                      const std::string& indexPath) {
  try {
    if (!fileExists(indexPath) || !table.hasIndex() || !hasTag(table, schema.Tag))
      table.indexTag(schema.Tag, schema.KeyExpression, schema.Descending, schema.Condition);
    if (schema.GoFirstAfterOpen)
      table.first();
    table.setFilter(NotDeleted);
    if (schema.SelectTagAfterOpen)
      table.setOrder(std::string(schema.Tag));
  } catch (const std::exception&) {
  }
}

} // namespace

const TableSchema SentTable{"TOV.DBF",  SentFields, "DATESENT", "DTOS(DATESENT)+TIMESENT",
                            "datesent", true,       NotDeleted, true,
                            true,       false};
const TableSchema ReceivedTable{"TOVREC.DBF",
                                ReceivedFields,
                                "DATETIME",
                                "DTOS(DATEREC)+TIMEREC",
                                "DTOS(DATEREC)+TIMEREC",
                                true,
                                NotDeleted,
                                true,
                                false,
                                false};
const TableSchema CoverTable{"TOVCOV.DBF", CoverFields, "DESCRIPT", "DESCRIPT", "DESCRIPT",
                             false,        NotDeleted,  false,      false,      true};
const TableSchema PhoneTable{"TOVPB.DBF", PhoneFields, "NAME", "NAME", "NAME",
                             false,       NotDeleted,  false,  false,  true};

std::string IndexFileName(const std::string& tableFileName) {
  std::size_t keep = tableFileName.size() >= 3 ? tableFileName.size() - 3 : 0;
  return tableFileName.substr(0, keep) + "CDX";
}

bool MakeTable(const TableSchema& schema, const std::string& dir) {
  const std::string path = dir + schema.FileName;
  try {
    xbase::TableCreator creator(path, static_cast<int>(schema.Fields.size()));
    for (const FieldSchema& f : schema.Fields)
      creator.addField(f.Name, f.Type, f.Width, f.Decimals);
    creator.execute();
  } catch (const std::exception&) {
    return false;
  }
  return fileExists(path);
}

bool OpenTable(const TableSchema& schema, xbase::Table& table, const std::string& dir) {
  const std::string path = dir + schema.FileName;
  const std::string indexPath = dir + IndexFileName(schema.FileName);
  if (!fileExists(path) && !MakeTable(schema, dir))
    return false;
  try {
    // A component still holding a table (its own or an older copy) lets go first.
    if (table.isOpen())
      table.close();
    openWithIndexRecovery(table, path, indexPath);
  } catch (const std::exception&) {
    return false;
  }
  prepareOpenTable(schema, table, indexPath);
  return true;
}

bool OpenFaxDBF(xbase::Table& table) {
  return OpenTable(SentTable, table, platform::ProgramDir());
}
bool MakeFaxDBF() {
  return MakeTable(SentTable, platform::ProgramDir());
}
bool OpenRecFaxDBF(xbase::Table& table) {
  return OpenTable(ReceivedTable, table, platform::ProgramDir());
}
bool MakeRecFaxDBF() {
  return MakeTable(ReceivedTable, platform::ProgramDir());
}
bool OpenCoverDBF(xbase::Table& table) {
  return OpenTable(CoverTable, table, platform::ProgramDir());
}
bool MakeCoverDBF() {
  return MakeTable(CoverTable, platform::ProgramDir());
}
bool OpenPhoneDBF(xbase::Table& table) {
  return OpenTable(PhoneTable, table, platform::ProgramDir());
}
bool MakePhoneDBF() {
  return MakeTable(PhoneTable, platform::ProgramDir());
}

} // namespace app
