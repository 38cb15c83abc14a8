// Opening and closing tables, engine options and table creation.
//
// What open() checks, so that a damaged or half-written table is never
// trusted blindly:
//  - the files are found whatever the letter case of their names; two
//    names that differ only in case are refused (which one is meant?);
//  - the DBF header must describe fields that add up to the record length,
//    and its length must fit the field list and lead to the first record;
//    a record count larger than the file holds is cut to the whole records
//    present (the rest of a killed append), on disk too, and the index is
//    then rebuilt;
//  - an interrupted pack (marker file left behind) is completed or undone;
//  - a CDX carrying the update mark (its writer died mid-change), stamped
//    for another state of the table file (count, size, modification time),
//    or whose tag roots cannot be read is rebuilt from the table; a CDX
//    without our stamp gets every tag's key count checked against the
//    records that pass its condition, once, and is stamped on close;
//  - while walking a tag, every record reached is checked against its key
//    and FOR condition; any disagreement rebuilds the index on the spot.
// What was mended is kept for openRepairs().
// A CDX whose tag definitions themselves are unreadable raises BadIndex.

#include "xbase/TableImpl.h"

#include "xbase/XBaseError.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>

namespace xbase {

namespace {
std::atomic<bool> g_hideDeleted{false};
std::mutex g_propMutex;
std::map<int, long> g_props;
} // namespace

void TableEnv::setDeleted(bool hide) {
  g_hideDeleted = hide;
}
bool TableEnv::deleted() {
  return g_hideDeleted;
}

void TableEnv::setSysProp(int property, long value) {
  std::lock_guard<std::mutex> lock(g_propMutex);
  g_props[property] = value;
}

long TableEnv::sysProp(int property) {
  std::lock_guard<std::mutex> lock(g_propMutex);
  auto it = g_props.find(property);
  return it == g_props.end() ? 0 : it->second;
}

std::string upperName(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    c = char(std::toupper(uint8_t(c)));
  while (!u.empty() && u.back() == ' ')
    u.pop_back();
  return u;
}

void finishInterruptedPack(const std::string& dbfPath, const std::string& fptPath); // TablePack.cpp

Table::Table() : m(std::make_unique<Impl>()) {}
Table::~Table() {
  try {
    close();
  } catch (...) {
    // A destructor cannot report; close() already freed the files.
  }
}

std::string companionPath(const FolderNames& folder, const std::string& dbfPath,
                          const std::string& upperExt) {
  std::string wanted = withExtension(dbfPath, upperExt);
  std::string found = folder.find(wanted);
  return found.empty() ? wanted : found;
}

std::string companionPath(const std::string& dbfPath, const std::string& upperExt) {
  return companionPath(FolderNames(dbfPath), dbfPath, upperExt);
}

void Table::open(const std::string& requestedPath) {
  close();
  FolderNames folder(requestedPath); // one listing finds all three files
  std::string dbfPath = folder.find(requestedPath);
  if (dbfPath.empty())
    dbfPath = requestedPath; // the open below reports it missing
  finishInterruptedPack(dbfPath, companionPath(folder, dbfPath, "FPT"));
  File file;
  file.open(dbfPath, false);
  file.lockExclusive();
  auto impl = std::make_unique<Impl>();
  impl->path = dbfPath;
  impl->dbf.open(std::move(file));
  if (impl->dbf.countRepaired())
    impl->repairs.push_back("the record count in the header was larger than the file; corrected");
  if (impl->dbf.hasMemo()) {
    File memoFile;
    memoFile.open(companionPath(folder, dbfPath, "FPT"), false);
    impl->memo.open(std::move(memoFile));
  }
  std::string cdxPath = companionPath(folder, dbfPath, "CDX");
  if (fileExists(cdxPath))
    impl->openIndex(cdxPath);
  impl->state = TableState::Browse;
  m = std::move(impl);
  m->checkIndexOnOpen(m->dbf.countRepaired());
  first();
}

void Table::close() {
  if (!m || m->state == TableState::Inactive)
    return;
  m->state = TableState::Inactive;
  m->cdx.close(m->tableStamp());
  m->memo.close();
  m->dbf.close();
  m = std::make_unique<Impl>();
}

bool Table::isOpen() const {
  return m->state != TableState::Inactive;
}
TableState Table::state() const {
  return m->state;
}
const std::string& Table::path() const {
  return m->path;
}
const std::vector<FieldDef>& Table::fields() const {
  return m->dbf.fields();
}

int Table::fieldIndex(const std::string& name) const {
  std::string wanted = upperName(name);
  const auto& fields = m->dbf.fields();
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].name == wanted)
      return int(i);
  return -1;
}

long Table::recCount() const {
  return long(m->dbf.recordCount());
}

long Table::recNo() const {
  return m->current ? long(m->current) : long(m->dbf.recordCount()) + 1;
}

TableCreator::TableCreator(std::string path, int fieldCount) : m_path(std::move(path)) {
  if (fieldCount > 0)
    m_fields.reserve(size_t(fieldCount));
}

void TableCreator::addField(const std::string& name, char type, int width, int decimals) {
  FieldDef f;
  f.name = upperName(name);
  f.type = char(std::toupper(uint8_t(type)));
  f.width = width;
  f.decimals = decimals;
  bool nameOk = !f.name.empty() && f.name.size() <= 10 && std::isalpha(uint8_t(f.name[0]));
  for (char c : f.name)
    nameOk = nameOk && (std::isalnum(uint8_t(c)) || c == '_');
  bool sizeOk = (f.type == 'C' && width >= 1 && width <= 254 && decimals == 0) ||
                (f.type == 'L' && width == 1 && decimals == 0) ||
                (f.type == 'D' && width == 8 && decimals == 0) ||
                (f.type == 'M' && width == 10 && decimals == 0) ||
                (f.type == 'N' && width >= 1 && width <= 20 && decimals >= 0 &&
                 (decimals == 0 || decimals < width - 1));
  if (!nameOk || !sizeOk)
    throw XBaseError(ErrorCode::Range, "invalid field definition " + name + " " +
                                           std::string(1, type) + " " + std::to_string(width) +
                                           " " + std::to_string(decimals));
  for (const auto& other : m_fields)
    if (other.name == f.name)
      throw XBaseError(ErrorCode::Range, "field " + f.name + " defined twice");
  m_fields.push_back(f);
}

// A new table replaces only a table of exactly its name: one whose name
// differs in letter case is another table the user has, and stays. Memo and
// index files of the replaced table go, in whatever case they were named.
static void refuseOtherCase(const std::string& path) {
  for (const auto& other : allCaseMatches(path))
    if (other != path)
      throw XBaseError(ErrorCode::Io, "cannot create " + path + ": the table " + other +
                                          " has the same name in other letter case");
}

static void removeCompanions(const std::string& path) {
  for (const char* ext : {"FPT", "CDX"})
    for (const auto& old : allCaseMatches(withExtension(path, ext)))
      std::remove(old.c_str());
}

void TableCreator::execute() {
  if (m_fields.empty() || m_fields.size() > 255)
    throw XBaseError(ErrorCode::Range, "a table needs 1 to 255 fields");
  refuseOtherCase(m_path);
  File dbf;
  dbf.open(m_path, true);
  dbf.lockExclusive(); // refuses to replace a table that is open
  removeCompanions(m_path);
  bool memo = false;
  for (const auto& f : m_fields)
    memo |= f.type == 'M';
  if (memo) {
    File fpt;
    fpt.open(withExtension(m_path, "FPT"), true);
    MemoFile::create(fpt);
  }
  DbfFile::create(dbf, m_fields);
}

} // namespace xbase
