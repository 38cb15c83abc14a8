// Tables we write must read the same through two independent xBase readers
// (python3-dbf and dbfread): every field, memo texts byte for byte, the
// deletion marks, before and after packing.

#include "RandomWorkload.h"
#include "XbaseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

using namespace xbase;
using namespace xbtest;

namespace {

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ')
    s.pop_back();
  return s;
}

// The line read_with_python.py prints for the current record.
std::string expectedLine(const std::string& reader, const Table& t) {
  std::string line = reader + (t.isDeleted() ? " 1" : " 0");
  for (const auto& f : t.fields()) {
    std::string v;
    switch (f.type) {
    case 'M':
      v = t.memo(f.name);
      break;
    case 'N': // a blank number reads as none
      v = rtrim(t.fieldRaw(f.name)).empty() ? "" : std::to_string(long(t.fieldNumber(f.name)));
      break;
    case 'L':
      v = t.fieldLogical(f.name) ? "T" : "F";
      break;
    default:
      v = rtrim(t.fieldRaw(f.name));
    }
    line += " " + f.name + "=" + hex(v);
  }
  return line;
}

std::vector<std::string> expectedLines(const std::string& path) {
  Table t;
  t.open(path);
  std::vector<std::string> byDbf, active, deleted;
  for (long r = 1; r <= t.recCount(); ++r) {
    t.go(r);
    byDbf.push_back(expectedLine("dbf", t));
    (t.isDeleted() ? deleted : active).push_back(expectedLine("dbfread", t));
  }
  byDbf.insert(byDbf.end(), active.begin(), active.end());
  byDbf.insert(byDbf.end(), deleted.begin(), deleted.end());
  return byDbf;
}

std::vector<std::string> pythonLines(const std::string& path) {
  // By the source folder: __FILE__ may be relative to the build folder, and
  // ctest runs each test in a folder of its own.
  std::string script = std::string(TOLVANE_SOURCE_DIR) + "/tests/xbase/read_with_python.py";
  std::string command = "/usr/bin/python3 '" + script + "' '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buf[65536];
  size_t n;
  while (pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0)
    output.append(buf, n);
  int status = pipe ? pclose(pipe) : -1;
  EXPECT_EQ(status, 0) << output.substr(0, 2000);
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

void fillSent(const std::string& path) {
  TableCreator c(path, 11);
  c.addField("SUBJECT", 'C', 50);
  c.addField("SENT", 'L', 1);
  c.addField("DATESENT", 'D', 8);
  c.addField("TIMESENT", 'C', 5);
  c.addField("RECIPIENT", 'C', 35);
  c.addField("PHONE", 'C', 25);
  c.addField("PAGES", 'N', 2);
  c.addField("LASTRESULT", 'C', 100);
  c.addField("RTFCOVER", 'M', 10);
  c.addField("RTFDOC", 'M', 10);
  c.execute();
  Table t;
  t.open(path);
  t.indexTag("DATESENT", "DTOS(DATESENT)+TIMESENT", true, ".not. deleted()");
  for (int i = 0; i < 300; ++i) {
    t.append();
    t.setField("SUBJECT", "Gr\xFC\xDF"
                          "e " +
                              std::to_string(i));
    t.setLogical("SENT", i % 2 == 0);
    t.setDate("DATESENT", i % 7 == 0 ? "" : "2024" + std::string(i % 9 < 5 ? "03" : "11") + "15");
    t.setField("TIMESENT", i % 7 == 0 ? "" : "09:3" + std::to_string(i % 10));
    t.setField("RECIPIENT", "M\xFCller \x80 GmbH");
    t.setField("PHONE", "+49 89 " + std::to_string(1000 + i));
    t.setNumber("PAGES", i % 100);
    t.setField("LASTRESULT", std::string(100, 'x'));
    t.setMemo("RTFCOVER", i % 3 ? "" : "{\\rtf1 cover \xE9\\par\r\n}");
    t.setMemo("RTFDOC", std::string(i == 7 ? 150000 : size_t(i) * 37 % 2000, char('A' + i % 26)) +
                            "\r\n\tend");
    t.post();
  }
  for (long r = 10; r <= 300; r += 10) {
    t.go(r);
    t.deleteRecord();
  }
  t.go(5); // a replaced memo leaves dead blocks behind
  t.edit();
  t.setMemo("RTFDOC", "replaced \xA7 text");
  t.post();
}

// Line by line, so that a failure names the first record that differs
// instead of printing megabytes of memo text.
void expectSameLines(const std::vector<std::string>& seen, const std::vector<std::string>& want) {
  EXPECT_EQ(seen.size(), want.size());
  for (size_t i = 0; i < std::min(seen.size(), want.size()); ++i)
    if (seen[i] != want[i]) {
      ADD_FAILURE() << "line " << i << " differs:\n  read:  " << seen[i].substr(0, 400)
                    << "\n  wrote: " << want[i].substr(0, 400);
      return;
    }
}

} // namespace

TEST(Interop, IndependentReadersSeeWhatWeWrote) {
  ScratchDir dir;
  std::string sent = dir.file("TOV.DBF");
  fillSent(sent);
  std::string received = dir.file("TOVREC.DBF");
  {
    TableCreator c(received, 6);
    c.addField("DATEREC", 'D', 8);
    c.addField("TIMEREC", 'C', 5);
    c.addField("FROM", 'C', 20);
    c.addField("PAGES", 'N', 2);
    c.addField("FAXFILE", 'C', 12);
    c.addField("NOTES", 'C', 60);
    c.execute();
    Table t;
    t.open(received);
    for (int i = 1; i <= 40; ++i) {
      t.append();
      t.setDate("DATEREC", i == 3 ? "" : "202403" + std::to_string(10 + i % 19));
      t.setField("TIMEREC", "08:15");
      t.setField("FROM", "Gonz\xE1lez");
      t.setNumber("PAGES", i);
      t.setField("FAXFILE", "FAX000" + std::to_string(i) + ".APF");
      t.post();
    }
  }
  for (const std::string& path : {sent, received}) {
    SCOPED_TRACE(path);
    expectSameLines(pythonLines(path), expectedLines(path));
    {
      Table t;
      t.open(path);
      t.pack();
    }
    expectSameLines(pythonLines(path), expectedLines(path));
  }
}

TEST(Interop, NewTablesHaveTheSchemaLayoutOtherToolsExpect) {
  ScratchDir dir;
  std::string path = dir.file("TOVCOV.DBF");
  TableCreator c(path, 2);
  c.addField("descript", 'C', 35);
  c.addField("COVER", 'M', 10);
  c.execute();
  std::string dbf = readFile(path);
  ASSERT_EQ(dbf.size(), 99u); // header of 98 bytes and the end-of-file mark
  EXPECT_EQ(uint8_t(dbf[0]), 0xF5);
  EXPECT_EQ(dbf.substr(32, 8), std::string("DESCRIPT"));
  EXPECT_EQ(uint8_t(dbf[8]) | uint8_t(dbf[9]) << 8, 98);
  EXPECT_EQ(uint8_t(dbf[10]), 46);
  EXPECT_EQ(uint8_t(dbf[98]), 0x1A);
  std::string fpt = readFile(dir.file("TOVCOV.FPT"));
  ASSERT_EQ(fpt.size(), 512u);
  EXPECT_EQ(fpt.substr(0, 8), std::string("\0\0\0\x08\0\0\0\x40", 8));

  std::string plain = dir.file("TOVPB.DBF");
  TableCreator p(plain, 2);
  p.addField("NAME", 'C', 35);
  p.addField("PHONE", 'C', 25);
  p.execute();
  EXPECT_EQ(uint8_t(readFile(plain)[0]), 0x03);
  EXPECT_FALSE(std::filesystem::exists(dir.file("TOVPB.FPT")));
  EXPECT_EQ(pythonLines(plain), std::vector<std::string>{});
}

// After long random work (appends, edits, deletes, recalls, packs) the four
// fax tables still read the same through both independent readers.
TEST(Interop, IndependentReadersReadEveryTableAfterRandomWork) {
  ScratchDir dir;
  {
    RandomWorkload work(dir.path(), 77);
    for (int s = 0; s < 15000; ++s)
      work.step();
  }
  for (const char* name : {"TOV.DBF", "TOVREC.DBF", "TOVCOV.DBF", "TOVPB.DBF"}) {
    SCOPED_TRACE(name);
    std::vector<std::string> want = expectedLines(dir.file(name));
    EXPECT_GT(want.size(), 200u);
    expectSameLines(pythonLines(dir.file(name)), want);
  }
}
