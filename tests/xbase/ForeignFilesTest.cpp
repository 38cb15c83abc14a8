// Tables as they come from other programs and other machines: impossible
// dates, a damaged header length, a header count larger than the file, an
// index the table was changed without, and file names in any letter case.

#include "XbaseTestSupport.h"

#include "xbase/FileIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace xbase;
using namespace xbtest;
namespace fs = std::filesystem;

namespace {

// path is the folder's TOV.DBF.
void createSent(const std::string& path, int rows) {
  Table t;
  createFaxTable(FaxTable::Sent, path.substr(0, path.find_last_of('/')), t);
  for (int i = 1; i <= rows; ++i) {
    t.append();
    char date[9];
    std::snprintf(date, sizeof date, "20%02d%02d%02d", 10 + i % 15, i % 12 + 1, i % 28 + 1);
    t.setDate("DATESENT", date);
    t.setField("TIMESENT", "12:00");
    t.setField("SUBJECT", "fax " + std::to_string(i));
    if (i % 50 == 1)
      t.setMemo("RTFDOC", "{\\rtf1 body " + std::to_string(i) + "}");
    t.post();
  }
}

// Overwrites bytes of a file in place, as another program would.
void patch(const std::string& path, uint64_t offset, const std::string& bytes) {
  File f;
  f.open(path, false);
  f.writeAt(offset, bytes.data(), bytes.size());
}

uint32_t headerCount(const std::string& path) {
  std::string dbf = readFile(path);
  return getLe32(reinterpret_cast<const uint8_t*>(dbf.data()) + 4);
}

std::vector<long> walk(Table& t) {
  std::vector<long> order;
  for (t.first(); !t.eof(); t.next())
    order.push_back(t.recNo());
  return order;
}

// Timestamps of files move in coarse ticks: a change made by another
// program comes later than that in real use.
void letTimePass() {
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines)
    text += "\n  " + l;
  return text;
}

} // namespace

TEST(ForeignFiles, ImpossibleDatesAreRefusedOnWriteAndReadAsBlank) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  createSent(path, 6);
  {
    Table t;
    t.open(path);
    t.go(1);
    t.edit();
    for (const char* bad : {"20241350", "00000000", "20230229", "20240431", "20241200"})
      EXPECT_THROW(t.setDate("DATESENT", bad), XBaseError) << bad;
    EXPECT_NO_THROW(t.setDate("DATESENT", "20240229"));
    EXPECT_NO_THROW(t.setField("DATESENT", ""));
    t.cancel();
  }
  // Another program wrote impossible dates into records 2 and 3.
  uint64_t recordLength = 1 + 50 + 1 + 8 + 5 + 35 + 25 + 2 + 100 + 10 + 10;
  uint64_t headerLength = 32 + 10 * 32 + 2;
  letTimePass();
  patch(path, headerLength + recordLength + 1 + 50 + 1, "20241350");
  patch(path, headerLength + 2 * recordLength + 1 + 50 + 1, "00000000");
  Table t;
  t.open(path);
  for (long r : {2L, 3L}) {
    t.go(r);
    EXPECT_EQ(t.fieldDate("DATESENT"), "") << r;
    EXPECT_EQ(t.fieldString("DATESENT"), "") << r;
  }
  // In the descending tag, blank dates come last: the two records sort
  // with the blanks, as their key says.
  t.setOrder("DATESENT");
  std::vector<long> order = walk(t);
  ASSERT_EQ(order.size(), 6u);
  EXPECT_EQ(std::vector<long>(order.end() - 2, order.end()), (std::vector<long>{3, 2}));
  std::vector<std::string> findings = t.checkStructure();
  ASSERT_EQ(findings.size(), 2u) << joined(findings); // the dates, not the index
  EXPECT_NE(findings[0].find("record 2: DATESENT holds \"20241350\", which is no date"),
            std::string::npos)
      << findings[0];
}

TEST(ForeignFiles, DamagedHeaderLengthIsRefused) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  createSent(path, 3);
  const std::string original = readFile(path);
  uint16_t length = uint16_t(uint8_t(original[8]) | uint8_t(original[9]) << 8);
  for (int delta : {1, -1, 2, 32, -32, 256, 0x1000}) {
    SCOPED_TRACE(delta);
    std::string damaged = original;
    uint16_t wrong = uint16_t(length + delta);
    damaged[8] = char(wrong & 0xFF), damaged[9] = char(wrong >> 8);
    writeFile(path, damaged);
    Table t;
    try {
      t.open(path);
      ADD_FAILURE() << "a header length of " << wrong << " was accepted";
    } catch (const XBaseError& e) {
      EXPECT_EQ(e.code(), ErrorCode::BadTable) << e.what();
      EXPECT_NE(std::string(e.what()).find("header"), std::string::npos) << e.what();
    }
  }
}

TEST(ForeignFiles, CorrectedRecordCountReachesTheDisk) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  createSent(path, 10);
  uint64_t recordLength = 1 + 50 + 1 + 8 + 5 + 35 + 25 + 2 + 100 + 10 + 10;
  uint64_t headerLength = 32 + 10 * 32 + 2;
  // A count larger than the file, then a file cut in the middle of a record.
  std::string count(4, '\0');
  count[0] = 12;
  patch(path, 4, count);
  {
    Table t;
    t.open(path);
    EXPECT_EQ(t.recCount(), 10);
    EXPECT_EQ(headerCount(path), 10u); // before any change to the table
    EXPECT_EQ(t.checkStructure(), std::vector<std::string>{});
  }
  fs::resize_file(path, headerLength + 7 * recordLength + recordLength / 2);
  Table t;
  t.open(path);
  EXPECT_EQ(t.recCount(), 7);
  EXPECT_EQ(headerCount(path), 7u);
  ASSERT_EQ(t.openRepairs().size(), 2u); // the count, and the index made for ten records
  t.setFilter(".not. deleted()");
  t.setOrder("DATESENT");
  EXPECT_EQ(walk(t).size(), 7u);
  EXPECT_EQ(t.checkStructure(), std::vector<std::string>{});
}

// Above 2 MB the open used to skip every check of the index: records that
// another program recalled, or that an older index copy did not know live,
// stayed out of the list.
TEST(ForeignFiles, LargeTableChangedWithoutItsIndexIsReindexed) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  constexpr int kRows = 10500; // 2.6 MB
  createSent(path, kRows);
  ASSERT_GT(fs::file_size(path), 2u << 20);
  uint64_t recordLength = 1 + 50 + 1 + 8 + 5 + 35 + 25 + 2 + 100 + 10 + 10;
  uint64_t headerLength = 32 + 10 * 32 + 2;
  {
    Table t;
    t.open(path);
    for (long r : {5000L, 7000L}) {
      t.go(r);
      t.deleteRecord();
    }
  }
  const std::string indexWithoutBoth = readFile(dir.file("TOV.CDX"));
  letTimePass();
  patch(path, headerLength + 4999 * recordLength, " "); // another program recalls 5000
  {
    Table t;
    t.open(path);
    EXPECT_EQ(t.openRepairs().size(), 1u);
    t.setFilter(".not. deleted()");
    t.setOrder("DATESENT");
    EXPECT_EQ(walk(t).size(), size_t(kRows - 1));
    t.go(7000);
    t.recall();
  }
  // An older copy of the index is put back: it lacks record 7000 (and 5000).
  letTimePass();
  writeFile(dir.file("TOV.CDX"), indexWithoutBoth);
  Table t;
  t.open(path);
  EXPECT_EQ(t.openRepairs().size(), 1u);
  t.setFilter(".not. deleted()");
  t.setOrder("DATESENT");
  EXPECT_EQ(walk(t).size(), size_t(kRows));
  EXPECT_EQ(t.checkStructure(), std::vector<std::string>{});
}

TEST(ForeignFiles, FilesAreFoundInAnyLetterCase) {
  ScratchDir dir;
  createSent(dir.file("TOV.DBF"), 60);
  fs::rename(dir.file("TOV.DBF"), dir.file("Tov.Dbf"));
  fs::rename(dir.file("TOV.FPT"), dir.file("tov.fpt"));
  fs::rename(dir.file("TOV.CDX"), dir.file("TOV.cdx"));
  {
    Table t;
    t.open(dir.file("TOV.DBF"));
    EXPECT_EQ(t.recCount(), 60);
    EXPECT_TRUE(t.openRepairs().empty()) << joined(t.openRepairs());
    ASSERT_EQ(t.tagNames(), std::vector<std::string>{"DATESENT"});
    t.go(51);
    EXPECT_EQ(t.memo("RTFDOC"), "{\\rtf1 body 51}");
    t.append();
    t.setField("SUBJECT", "new");
    t.setMemo("RTFDOC", "new body");
    t.post();
    t.pack();
    EXPECT_EQ(t.checkStructure(), std::vector<std::string>{});
  }
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"TOV.cdx", "Tov.Dbf", "tov.fpt"}));

  // A second table of the same name in other letter case: which one is
  // meant cannot be told, so neither is opened, nor is a third created.
  fs::copy_file(dir.file("Tov.Dbf"), dir.file("TOV.DBF"));
  Table t;
  try {
    t.open(dir.file("TOV.DBF"));
    ADD_FAILURE() << "opened one of two tables";
  } catch (const XBaseError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("TOV.DBF"), std::string::npos) << what;
    EXPECT_NE(what.find("Tov.Dbf"), std::string::npos) << what;
  }
  fs::remove(dir.file("TOV.DBF"));
  TableCreator c(dir.file("TOV.DBF"), 1);
  c.addField("SUBJECT", 'C', 50);
  EXPECT_THROW(c.execute(), XBaseError);
  EXPECT_TRUE(fs::exists(dir.file("tov.fpt")));
}
