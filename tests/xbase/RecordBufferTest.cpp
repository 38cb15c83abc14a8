// Record buffer and memo behaviour callers rely on: the empty-table record
// number, edit/cancel/refresh, field formatting, and memos through files
// byte for byte at any size.

#include "XbaseTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace xbase;
using namespace xbtest;

namespace {

std::string createSent(const ScratchDir& dir) {
  std::string path = dir.file("TOV.DBF");
  TableCreator c(path, 4);
  c.addField("SUBJECT", 'C', 10);
  c.addField("DATESENT", 'D', 8);
  c.addField("PAGES", 'N', 2);
  c.addField("RTFDOC", 'M', 10);
  c.execute();
  return path;
}

} // namespace

TEST(RecordBuffer, EmptyViewHasRecordCountPlusOne) {
  ScratchDir dir;
  Table t;
  t.open(createSent(dir));
  EXPECT_TRUE(t.eof() && t.bof());
  EXPECT_EQ(t.recNo(), 1);
  EXPECT_THROW(t.edit(), XBaseError);
  t.append();
  t.setField("SUBJECT", "only");
  t.post();
  EXPECT_EQ(t.recNo(), 1);
  t.setFilter("SUBJECT = 'other'");
  t.first();
  EXPECT_EQ(t.queryRecCount(), 0);
  EXPECT_EQ(t.recNo(), 2);
  t.setFilter("");
  TableEnv::setDeleted(true);
  t.first();
  t.deleteRecord();
  EXPECT_EQ(t.recNo(), 2); // the only record vanished from the view
  EXPECT_EQ(t.queryRecCount(), 0);
  EXPECT_EQ(findingsOf(t), "");
  TableEnv::setDeleted(false);
}

TEST(RecordBuffer, EditCancelRefreshAndFieldFormats) {
  ScratchDir dir;
  Table t;
  t.open(createSent(dir));
  t.append();
  t.setField("SUBJECT", "a subject longer than ten");
  t.setDate("DATESENT", "20240315");
  t.setNumber("PAGES", 7);
  EXPECT_THROW(t.setNumber("PAGES", 100), XBaseError); // does not fit N 2
  EXPECT_THROW(t.setDate("DATESENT", "15.03.2024"), XBaseError);
  EXPECT_THROW(t.setField("NOPE", "x"), XBaseError);
  t.post();
  EXPECT_EQ(t.fieldRaw("SUBJECT"), "a subject ");
  EXPECT_EQ(t.fieldRaw("PAGES"), " 7");
  EXPECT_EQ(t.fieldNumber("pages"), 7);
  EXPECT_EQ(t.fieldDate("DateSent"), "20240315");
  EXPECT_THROW(t.setField("SUBJECT", "x"), XBaseError); // not editing

  t.edit();
  t.setField("SUBJECT", "changed");
  t.setMemo("RTFDOC", "draft");
  t.cancel();
  EXPECT_EQ(t.fieldString("SUBJECT"), "a subject");
  EXPECT_EQ(t.memo("RTFDOC"), "");
  t.edit();
  t.setDate("DATESENT", "");
  t.refresh(); // drops the buffer, rereads the file
  EXPECT_EQ(t.fieldDate("DATESENT"), "20240315");
  EXPECT_EQ(findingsOf(t), "");
}

TEST(RecordBuffer, MemosThroughFilesAreByteExact) {
  ScratchDir dir;
  Table t;
  t.open(createSent(dir));
  std::mt19937 rng(5);
  std::vector<std::string> memos = {"", std::string("\0\x1a\r\n\xff", 5), std::string(63, 'x'),
                                    std::string(56, 'y')};
  std::string big(1024 * 1024 + 17, '\0');
  for (char& c : big)
    c = char(rng());
  memos.push_back(big);
  for (const std::string& bytes : memos) {
    writeFile(dir.file("in.bin"), bytes);
    t.append();
    t.memoFromFile("RTFDOC", dir.file("in.bin"));
    t.post();
    EXPECT_EQ(findingsOf(t), "");
  }
  t.close();
  t.open(dir.file("TOV.DBF"));
  for (size_t i = 0; i < memos.size(); ++i) {
    t.go(long(i) + 1);
    ASSERT_TRUE(t.memoToFile("RTFDOC", dir.file("out.bin")));
    EXPECT_TRUE(readFile(dir.file("out.bin")) == memos[i]) << "memo " << i;
  }
  EXPECT_FALSE(t.memoToFile("RTFDOC", dir.file("no/such/folder/out.bin")));
  t.edit();
  EXPECT_THROW(t.memoFromFile("RTFDOC", dir.file("missing.bin")), XBaseError);
}
