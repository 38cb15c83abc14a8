#include "tests/fuzz/xbase/XbaseFuzzHarness.h"

#include "xbase/MemoFile.h"
#include "xbase/Table.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace xbfuzz {

namespace {

// Never destroyed: the exit handler that removes the folder runs after
// static objects are gone.
const std::string& scratch() {
  static const std::string* dir = [] {
    auto* d = new std::string(
        (std::filesystem::temp_directory_path() / ("xbase-fuzz-" + std::to_string(getpid())))
            .string());
    std::filesystem::create_directories(*d);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratch(), ec);
    });
    return d;
  }();
  return *dir;
}

void put(const std::string& name, const uint8_t* data, size_t size) {
  std::ofstream out(scratch() + "/" + name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

void check(bool ok) {
  if (!ok)
    std::abort(); // an invariant the engine promises was broken
}

void readAll(xbase::Table& t) {
  for (const auto& f : t.fields()) {
    try {
      if (f.type == 'M')
        t.memo(f.name);
      else
        t.fieldRaw(f.name);
    } catch (const xbase::XBaseError&) {
    }
  }
}

void walkBothWays(xbase::Table& t) {
  std::set<long> seen;
  for (t.first(); !t.eof(); t.next()) {
    check(t.recNo() >= 1 && t.recNo() <= t.recCount());
    check(seen.insert(t.recNo()).second); // no record twice in one walk
    readAll(t);
  }
  for (t.last(); !t.bof(); t.prior())
    check(t.recNo() >= 1 && t.recNo() <= t.recCount());
}

// A small valid table of names: the companion of fuzzed CDX and FPT files.
void makeTable(const std::string& path, bool memo) {
  xbase::TableCreator c(path, 2);
  c.addField("NAME", 'C', 12);
  c.addField(memo ? "NOTE" : "PHONE", memo ? 'M' : 'C', 10);
  c.execute();
  xbase::Table t;
  t.open(path);
  // Enough names for a two-level tree in the index case.
  for (int i = 0, n = memo ? 40 : 200; i < n; ++i) {
    t.append();
    t.setField("NAME", std::string(1, char('A' + i * 7 % 26)) + std::to_string(i));
    if (memo) // memos of growing length: pointers spread over the memo file
      t.setMemo("NOTE", std::string(size_t(i) * 20, 'n'));
    t.post();
  }
}

// The structural checker must read any damage without failing itself; an
// index the open had to rebuild must come out sound.
std::vector<std::string> checked(xbase::Table& t) {
  std::vector<std::string> findings = t.checkStructure();
  for (const auto& repair : t.openRepairs())
    if (repair.rfind("index ", 0) == 0)
      for (const auto& f : findings)
        check(f.find(".CDX") == std::string::npos && f.find(".cdx") == std::string::npos);
  return findings;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The companion table's bytes, made once and put back before every run
// because the harness changes it.
const std::string& companion(const std::string& name, bool memo) {
  static std::string bytes[2];
  std::string& b = bytes[memo ? 1 : 0];
  if (b.empty()) {
    makeTable(scratch() + "/" + name, memo);
    b = slurp(scratch() + "/" + name);
  }
  return b;
}

} // namespace

void runDbf(const uint8_t* data, size_t size) {
  std::string path = scratch() + "/F.DBF";
  put("F.DBF", data, size);
  std::remove((scratch() + "/F.CDX").c_str());
  xbase::File fpt;
  fpt.open(scratch() + "/F.FPT", true);
  xbase::MemoFile::create(fpt);
  fpt.close();
  try {
    xbase::Table t;
    t.open(path);
    checked(t);
    walkBothWays(t);
    t.setFilter(".not. deleted()");
    t.queryRecCount();
  } catch (const xbase::XBaseError&) {
  }
}

void runFpt(const uint8_t* data, size_t size) {
  std::string path = scratch() + "/M.DBF";
  const std::string& table = companion("M.DBF", true);
  put("M.DBF", reinterpret_cast<const uint8_t*>(table.data()), table.size());
  put("M.FPT", data, size);
  try {
    xbase::Table t;
    t.open(path);
    walkBothWays(t);
    t.go(1);
    t.edit();
    t.setMemo("NOTE", "new text");
    t.post();
    check(t.memo("NOTE") == "new text");
    for (const auto& f : checked(t)) // the new memo is sound, whatever else is not
      check(f.find("record 1:") == std::string::npos);
  } catch (const xbase::XBaseError&) {
  }
}

void runCdx(const uint8_t* data, size_t size) {
  std::string path = scratch() + "/C.DBF";
  const std::string& table = companion("C.DBF", false);
  put("C.DBF", reinterpret_cast<const uint8_t*>(table.data()), table.size());
  put("C.CDX", data, size);
  try {
    xbase::Table t;
    t.open(path);
    for (const auto& tag : t.tagNames()) {
      t.setOrder(tag);
      walkBothWays(t);
    }
    // A tree that passes the check (as found, or rebuilt by the walk) must
    // still pass it after every change the engine makes to it.
    bool sound = checked(t).empty();
    t.append();
    t.setField("NAME", "M99");
    t.post();
    t.go(3);
    t.edit();
    t.setField("NAME", "B00");
    t.post();
    t.go(5);
    t.deleteRecord();
    if (sound)
      check(checked(t).empty());
    walkBothWays(t);
  } catch (const xbase::XBaseError&) {
  }
}

} // namespace xbfuzz
