#pragma once
// Helpers shared by the table engine tests: scratch folders, copies of the
// reference tables, and the reader for their dump files.

#include "xbase/Table.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace xbtest {

// A fresh folder under the system temp folder, removed when the object dies.
class ScratchDir {
public:
  // inMemory: in /dev/shm when there is one, where the syncs of packs cost
  // nothing (for long runs that check structure, not crash safety).
  explicit ScratchDir(bool inMemory = false);
  ~ScratchDir();
  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
  std::string m_path;
};

std::string dataPath(const std::string& relative);
// Copies tests/data/xbase/<set>/<table>.{DBF,FPT,CDX} into dir.
void copyTable(const std::string& set, const std::string& table, const std::string& dir);

struct DumpRow {
  long recNo = 0;
  bool deleted = false;
  std::string key;
  std::map<std::string, std::string> values; // field name -> value as the dump shows it
};

struct Dump {
  std::string tag, keyExpression, forExpression;
  bool descending = false;
  std::vector<std::pair<std::string, std::string>> fields; // name, "C 50 0"
  std::vector<DumpRow> order;   // the tag's order, deleted records left out
  std::vector<DumpRow> natural; // every record
};

Dump readDump(const std::string& path);

// A record as the dump renders it: raw text of C/D/N fields, T/F, memo bytes.
std::map<std::string, std::string> recordValues(const xbase::Table& table);

std::string readFile(const std::string& path);

// The four fax tables with the fields and tag the program gives them.
enum class FaxTable { Sent, Received, Cover, Phone };
const char* faxTableFile(FaxTable which); // "TOV.DBF", ...
// Creates the table in dir, opens it into table and builds its tag; returns
// the table's path.
std::string createFaxTable(FaxTable which, const std::string& dir, xbase::Table& table);
// The structural checker's findings on the table, one per line; "" when the
// table, its memos and its index are sound.
std::string findingsOf(xbase::Table& table);
void writeFile(const std::string& path, const std::string& bytes);

} // namespace xbtest
