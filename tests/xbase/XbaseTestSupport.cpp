#include "XbaseTestSupport.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace xbtest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir(bool inMemory) {
  fs::path base =
      inMemory && fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::string pattern = (base / "xbase-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

std::string dataPath(const std::string& relative) {
  return std::string(TOLVANE_TEST_DATA) + "/xbase/" + relative;
}

void copyTable(const std::string& set, const std::string& table, const std::string& dir) {
  for (const char* ext : {".DBF", ".FPT", ".CDX"}) {
    fs::path from = dataPath(set + "/" + table + ext);
    if (fs::exists(from)) {
      fs::path to = fs::path(dir) / (table + ext);
      fs::copy_file(from, to, fs::copy_options::overwrite_existing);
      fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
    }
  }
}

namespace {

// Reads one quoted dump string starting at s[pos] == '"'.
std::string unquote(const std::string& s, size_t& pos) {
  std::string out;
  if (pos < s.size() && s[pos] != '"') { // logical values stand bare: SENT=T
    size_t end = std::min(s.find(' ', pos), s.size());
    out = s.substr(pos, end - pos);
    pos = end;
    return out;
  }
  for (++pos; pos < s.size() && s[pos] != '"'; ++pos) {
    if (s[pos] != '\\') {
      out += s[pos];
      continue;
    }
    char c = s[++pos];
    if (c == 'x') {
      out += char(std::stoi(s.substr(pos + 1, 2), nullptr, 16));
      pos += 2;
    } else {
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
  }
  ++pos;
  return out;
}

// "  #2 key="..." NAME="..." ..." or "  #1 active NAME=..."
DumpRow parseRow(const std::string& line) {
  DumpRow row;
  size_t pos = line.find('#') + 1;
  row.recNo = std::stol(line.substr(pos));
  pos = line.find(' ', pos);
  while (pos < line.size() && line[pos] == ' ')
    ++pos;
  if (line.compare(pos, 7, "active ") == 0)
    pos += 7;
  else if (line.compare(pos, 8, "DELETED ") == 0)
    row.deleted = true, pos += 8;
  for (;;) {
    while (pos < line.size() && line[pos] == ' ')
      ++pos;
    size_t eq = line.find('=', pos);
    if (eq == std::string::npos)
      break;
    std::string name = line.substr(pos, eq - pos);
    pos = eq + 1;
    std::string value = unquote(line, pos);
    if (name == "key")
      row.key = value;
    else
      row.values[name] = value;
  }
  return row;
}

std::string quotedAfter(const std::string& line, const std::string& label) {
  size_t pos = line.find(label);
  if (pos == std::string::npos)
    return {};
  pos += label.size();
  return unquote(line, pos);
}

} // namespace

Dump readDump(const std::string& path) {
  std::istringstream in(readFile(path));
  Dump dump;
  std::string line, section;
  while (std::getline(in, line)) {
    if (line.rfind("FIELDS", 0) == 0 || line.rfind("ORDER", 0) == 0 ||
        line.rfind("NATURAL ORDER", 0) == 0 || line.rfind("TAGS", 0) == 0 ||
        line.rfind("records listed", 0) == 0) {
      section = line.substr(0, line.find(' '));
      if (line.rfind("NATURAL", 0) == 0)
        section = "NATURAL";
      continue;
    }
    if (section == "FIELDS" && line.size() > 2) {
      std::istringstream f(line);
      std::string name, type, width, decimals;
      f >> name >> type >> width >> decimals;
      dump.fields.emplace_back(name, type + " " + width + " " + decimals);
    } else if (section == "TAGS" && line.find("TAG ") != std::string::npos) {
      std::istringstream f(line);
      std::string word;
      f >> word >> dump.tag;
      dump.keyExpression = quotedAfter(line, "key: ");
      dump.forExpression = quotedAfter(line, "for: ");
      dump.descending = line.find("descending: yes") != std::string::npos;
    } else if (section == "ORDER" && line.find(" #") != std::string::npos) {
      dump.order.push_back(parseRow(line));
    } else if (section == "NATURAL" && line.find(" #") != std::string::npos &&
               line.find("raw=") == std::string::npos) {
      dump.natural.push_back(parseRow(line));
    }
  }
  return dump;
}

std::map<std::string, std::string> recordValues(const xbase::Table& table) {
  std::map<std::string, std::string> values;
  for (const auto& f : table.fields())
    values[f.name] = f.type == 'M' ? table.memo(f.name) : table.fieldRaw(f.name);
  return values;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string findingsOf(xbase::Table& table) {
  std::string text;
  for (const auto& f : table.checkStructure())
    text += "\n  " + f;
  return text;
}

namespace {

struct Field {
  const char* name;
  char type;
  int width;
};

struct Schema {
  const char* file;
  std::vector<Field> fields;
  const char *tag, *key;
  bool descending;
};

const std::array<Schema, 4> kSchemas{{
    {"TOV.DBF",
     {{"SUBJECT", 'C', 50},
      {"SENT", 'L', 1},
      {"DATESENT", 'D', 8},
      {"TIMESENT", 'C', 5},
      {"RECIPIENT", 'C', 35},
      {"PHONE", 'C', 25},
      {"PAGES", 'N', 2},
      {"LASTRESULT", 'C', 100},
      {"RTFCOVER", 'M', 10},
      {"RTFDOC", 'M', 10}},
     "DATESENT",
     "DTOS(DATESENT)+TIMESENT",
     true},
    {"TOVREC.DBF",
     {{"DATEREC", 'D', 8},
      {"TIMEREC", 'C', 5},
      {"FROM", 'C', 20},
      {"PAGES", 'N', 2},
      {"FAXFILE", 'C', 12},
      {"NOTES", 'C', 60}},
     "DATETIME",
     "DTOS(DATEREC)+TIMEREC",
     true},
    {"TOVCOV.DBF", {{"DESCRIPT", 'C', 35}, {"COVER", 'M', 10}}, "DESCRIPT", "DESCRIPT", false},
    {"TOVPB.DBF", {{"NAME", 'C', 35}, {"PHONE", 'C', 25}}, "NAME", "NAME", false},
}};

} // namespace

const char* faxTableFile(FaxTable which) {
  return kSchemas[size_t(which)].file;
}

std::string createFaxTable(FaxTable which, const std::string& dir, xbase::Table& table) {
  const Schema& s = kSchemas[size_t(which)];
  std::string path = dir + "/" + s.file;
  xbase::TableCreator c(path, int(s.fields.size()));
  for (const Field& f : s.fields)
    c.addField(f.name, f.type, f.width);
  c.execute();
  table.open(path);
  table.indexTag(s.tag, s.key, s.descending, ".not. deleted()");
  return path;
}

} // namespace xbtest
