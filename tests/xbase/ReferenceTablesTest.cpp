// The reference tables written by an independent engine: we must read them
// as their dumps show, walk their tags in the same order, and keep them
// intact through our own appends, deletions and packs.

#include "XbaseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace xbase;
using namespace xbtest;

namespace {

const char* const kTables[] = {"TOV", "TOVREC", "TOVCOV", "TOVPB"};

// The key each tag files a record under, computed from the raw field bytes
// without the engine's expression code.
std::string expectedKey(const std::string& table, const Table& t) {
  if (table == "TOV")
    return t.fieldRaw("DATESENT") + t.fieldRaw("TIMESENT");
  if (table == "TOVREC")
    return t.fieldRaw("DATEREC") + t.fieldRaw("TIMEREC");
  if (table == "TOVCOV")
    return t.fieldRaw("DESCRIPT");
  return t.fieldRaw("NAME");
}

bool descendingTag(const std::string& table) {
  return table == "TOV" || table == "TOVREC";
}

// Records in tag order as a correct engine must list them: active records
// sorted by key, ties by record number, the whole list reversed for a
// descending tag.
std::vector<long> expectedOrder(const std::string& table, Table& t) {
  std::vector<std::pair<std::string, long>> keyed;
  t.setOrder(0);
  for (t.first(); !t.eof(); t.next())
    if (!t.isDeleted())
      keyed.emplace_back(expectedKey(table, t), t.recNo());
  std::sort(keyed.begin(), keyed.end());
  std::vector<long> order;
  for (const auto& k : keyed)
    order.push_back(k.second);
  if (descendingTag(table))
    std::reverse(order.begin(), order.end());
  return order;
}

std::vector<long> walk(Table& t, bool backwards = false) {
  std::vector<long> order;
  if (backwards) {
    for (t.last(); !t.bof(); t.prior())
      order.push_back(t.recNo());
    std::reverse(order.begin(), order.end());
  } else {
    for (t.first(); !t.eof(); t.next())
      order.push_back(t.recNo());
  }
  return order;
}

class ReferenceTables : public ::testing::Test {
protected:
  void SetUp() override { TableEnv::setDeleted(false); }
  void TearDown() override { TableEnv::setDeleted(false); }
  ScratchDir dir;
};

} // namespace

TEST_F(ReferenceTables, BasicTablesReadAsTheirDumpsShow) {
  for (std::string name : kTables) {
    SCOPED_TRACE(name);
    Dump dump = readDump(dataPath("basic/" + name + ".dump.txt"));
    Table t;
    copyTable("basic", name, dir.path()); // opening stamps the index: never the originals
    t.open(dir.file(name + ".DBF"));
    ASSERT_EQ(t.fields().size(), dump.fields.size());
    for (size_t i = 0; i < dump.fields.size(); ++i) {
      const FieldDef& f = t.fields()[i];
      EXPECT_EQ(f.name, dump.fields[i].first);
      EXPECT_EQ(std::string(1, f.type) + " " + std::to_string(f.width) + " " +
                    std::to_string(f.decimals),
                dump.fields[i].second);
    }
    ASSERT_EQ(t.tagNames(), std::vector<std::string>{dump.tag});
    EXPECT_EQ(findingsOf(t), ""); // another engine's index passes our checker

    t.setOrder(dump.tag);
    std::vector<long> order;
    for (t.first(); !t.eof(); t.next()) {
      ASSERT_LT(order.size(), dump.order.size());
      const DumpRow& row = dump.order[order.size()];
      EXPECT_EQ(t.recNo(), row.recNo);
      EXPECT_EQ(recordValues(t), row.values);
      order.push_back(t.recNo());
    }
    EXPECT_EQ(order.size(), dump.order.size());
    EXPECT_EQ(walk(t, true), order);

    t.setOrder(0);
    ASSERT_EQ(t.recCount(), long(dump.natural.size()));
    for (const DumpRow& row : dump.natural) {
      t.go(row.recNo);
      EXPECT_EQ(t.isDeleted(), row.deleted) << row.recNo;
      EXPECT_EQ(recordValues(t), row.values) << row.recNo;
    }
  }
}

TEST_F(ReferenceTables, FilterAndHiddenDeletedRecords) {
  Table t;
  copyTable("basic", "TOV", dir.path());
  t.open(dir.file("TOV.DBF"));
  t.setFilter(".not. deleted()");
  EXPECT_EQ(t.queryRecCount(), 5);
  EXPECT_EQ(t.recCount(), 6);
  EXPECT_EQ(walk(t), (std::vector<long>{1, 2, 3, 5, 6}));
  t.setFilter("");
  EXPECT_EQ(t.queryRecCount(), 6);
  TableEnv::setDeleted(true);
  EXPECT_EQ(t.queryRecCount(), 5);
  EXPECT_EQ(walk(t, true), (std::vector<long>{1, 2, 3, 5, 6}));
  t.setFilter("PAGES > 2 .and. upper(SUBJECT) <> 'X'");
  EXPECT_EQ(walk(t), (std::vector<long>{1, 5, 6}));
}

TEST_F(ReferenceTables, LargeTablesWalkInTagOrder) {
  for (std::string name : kTables) {
    SCOPED_TRACE(name);
    Table t;
    copyTable("large", name, dir.path());
    t.open(dir.file(name + ".DBF"));
    std::vector<long> expected = expectedOrder(name, t);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(findingsOf(t), "");
    t.setOrder(1);
    EXPECT_EQ(walk(t), expected);
    EXPECT_EQ(walk(t, true), expected);
    // Stepping on from a record reached by number follows the tag too.
    size_t middle = expected.size() / 2;
    t.go(expected[middle]);
    t.next();
    EXPECT_EQ(t.recNo(), expected[middle + 1]);
    t.prior();
    t.prior();
    EXPECT_EQ(t.recNo(), expected[middle - 1]);
  }
}

TEST_F(ReferenceTables, SurviveOurAppendDeleteAndPack) {
  for (std::string set : {"basic", "large"}) {
    for (std::string name : {"TOV", "TOVPB"}) {
      SCOPED_TRACE(set + "/" + name);
      copyTable(set, name, dir.path());
      std::string path = dir.file(name + ".DBF");
      std::vector<std::map<std::string, std::string>> expected;
      {
        Table t;
        t.open(path);
        for (long r = 1; r <= t.recCount(); ++r) {
          t.go(r);
          if (!t.isDeleted() && r % 5 != 0)
            expected.push_back(recordValues(t));
        }
        for (long r = 5; r <= t.recCount(); r += 5) {
          t.go(r);
          t.deleteRecord();
          ASSERT_EQ(findingsOf(t), "") << "after deleting " << r;
        }
        for (int i = 0; i < 3; ++i) {
          t.append();
          t.setField(name == "TOV" ? "SUBJECT" : "NAME", "Added \xE9 " + std::to_string(i));
          if (name == "TOV") {
            t.setDate("DATESENT", "2025010" + std::to_string(i + 1));
            t.setField("TIMESENT", "10:00");
            t.setMemo("RTFDOC", std::string(3000 + i, char('a' + i)) + "\r\n\x1a\x00end");
          }
          t.post();
          expected.push_back(recordValues(t));
          ASSERT_EQ(findingsOf(t), "") << "after appending " << i;
        }
        uint64_t memoBefore = name == "TOV" ? std::filesystem::file_size(dir.file("TOV.FPT")) : 0;
        t.pack();
        EXPECT_EQ(findingsOf(t), "");
        if (name == "TOV")
          EXPECT_LT(std::filesystem::file_size(dir.file("TOV.FPT")), memoBefore);
      }
      Table t;
      t.open(path);
      ASSERT_EQ(t.recCount(), long(expected.size()));
      for (long r = 1; r <= t.recCount(); ++r) {
        t.go(r);
        EXPECT_FALSE(t.isDeleted());
        EXPECT_EQ(recordValues(t), expected[size_t(r - 1)]) << r;
      }
      std::vector<long> order = expectedOrder(name, t);
      t.setOrder(1);
      EXPECT_EQ(walk(t), order);
    }
  }
}

TEST_F(ReferenceTables, RebuiltIndexMatchesTheReferenceIndexByteForByte) {
  struct Case {
    const char *table, *tag, *key;
    bool descending;
  };
  for (const Case& c :
       {Case{"TOV", "DATESENT", "DTOS(DATESENT)+TIMESENT", true},
        Case{"TOVREC", "DATETIME", "DTOS(DATEREC)+TIMEREC", true},
        Case{"TOVCOV", "DESCRIPT", "DESCRIPT", false}, Case{"TOVPB", "NAME", "NAME", false}}) {
    SCOPED_TRACE(c.table);
    copyTable("basic", c.table, dir.path());
    std::string cdx = dir.file(std::string(c.table) + ".CDX");
    {
      Table t;
      t.open(dir.file(std::string(c.table) + ".DBF"));
      t.closeIndexes();
      std::filesystem::remove(cdx);
      t.indexTag(c.tag, c.key, c.descending, ".not. deleted()");
    }
    std::string ours = readFile(cdx);
    std::string theirs = readFile(dataPath(std::string("basic/") + c.table + ".CDX"));
    ASSERT_EQ(ours.size(), theirs.size());
    // Bytes 20-23 of the file header hold the other writer's signature,
    // 448-495 our stamp of the table file (size, times, record count).
    for (size_t i : {20, 21, 22, 23})
      ours[i] = theirs[i];
    for (size_t i = 448; i < 496; ++i)
      ours[i] = theirs[i];
    EXPECT_TRUE(ours == theirs);
    for (size_t i = 0; i < ours.size(); ++i)
      if (ours[i] != theirs[i]) {
        ADD_FAILURE() << "first difference at byte " << i;
        break;
      }
  }
}

TEST_F(ReferenceTables, RebuiltLargeIndexIsNoLargerThanTheReference) {
  copyTable("large", "TOVPB", dir.path());
  std::string cdx = dir.file("TOVPB.CDX");
  Table t;
  t.open(dir.file("TOVPB.DBF"));
  t.setOrder("NAME");
  std::vector<long> before = walk(t);
  t.closeIndexes();
  std::filesystem::remove(cdx);
  t.indexTag("NAME", "NAME", false, ".not. deleted()");
  EXPECT_LE(std::filesystem::file_size(cdx),
            std::filesystem::file_size(dataPath("large/TOVPB.CDX")));
  EXPECT_EQ(walk(t), before);
}
