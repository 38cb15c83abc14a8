// Index tags kept in step with every append, edit, delete and recall: a
// random workload is mirrored in a plain sorted model and the tag walk must
// match it, before and after reopening, through page splits and merges.

#include "XbaseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

using namespace xbase;
using namespace xbtest;

namespace {

void createSent(const std::string& path) {
  TableCreator c(path, 10);
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
}

struct Row {
  std::string date, time;
  bool deleted = false;
};

std::vector<long> walk(Table& t) {
  std::vector<long> order;
  for (t.first(); !t.eof(); t.next())
    order.push_back(t.recNo());
  return order;
}

std::vector<long> walkBack(Table& t) {
  std::vector<long> order;
  for (t.last(); !t.bof(); t.prior())
    order.push_back(t.recNo());
  std::reverse(order.begin(), order.end());
  return order;
}

// Descending (date + time, record number) over records without the mark.
std::vector<long> modelOrder(const std::vector<Row>& rows) {
  std::vector<std::pair<std::string, long>> keyed;
  for (size_t i = 0; i < rows.size(); ++i)
    if (!rows[i].deleted)
      keyed.emplace_back(rows[i].date + rows[i].time, long(i + 1));
  std::sort(keyed.rbegin(), keyed.rend());
  std::vector<long> order;
  for (const auto& k : keyed)
    order.push_back(k.second);
  return order;
}

std::string randomDate(std::mt19937& rng) {
  if (rng() % 10 == 0)
    return "        ";
  char buf[9];
  std::snprintf(buf, sizeof buf, "20%02u%02u%02u", unsigned(rng() % 30), unsigned(rng() % 12 + 1),
                unsigned(rng() % 28 + 1));
  return buf;
}

std::string randomTime(std::mt19937& rng) {
  char buf[6];
  std::snprintf(buf, sizeof buf, "%02u:%02u", unsigned(rng() % 24), unsigned(rng() % 4 * 15));
  return buf;
}

} // namespace

TEST(IndexMaintenance, RandomWorkloadMatchesModel) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  createSent(path);
  std::mt19937 rng(12345);
  std::vector<Row> rows;
  {
    Table t;
    t.open(path);
    t.indexTag("DATESENT", "DTOS(DATESENT)+TIMESENT", true, ".not. deleted()");
    for (int step = 0; step < 6000; ++step) {
      unsigned op = rng() % 10;
      if (op < 6 || rows.empty()) {
        Row r{randomDate(rng), randomTime(rng)};
        t.append();
        t.setDate("DATESENT", r.date == "        " ? "" : r.date);
        t.setField("TIMESENT", r.time);
        t.setField("SUBJECT", "row " + std::to_string(rows.size() + 1));
        t.post();
        rows.push_back(r);
        ASSERT_EQ(t.recNo(), long(rows.size()));
        continue;
      }
      long recNo = long(rng() % rows.size()) + 1;
      Row& r = rows[size_t(recNo - 1)];
      t.go(recNo);
      if (op < 8) {
        t.edit();
        r.time = randomTime(rng);
        t.setField("TIMESENT", r.time);
        t.post();
      } else if (op == 8) {
        t.deleteRecord();
        r.deleted = true;
      } else {
        t.recall();
        r.deleted = false;
      }
      if (step < 1000 || step % 250 == 0) // the check reads the whole table
        ASSERT_EQ(findingsOf(t), "") << "step " << step;
      if (step % 1500 == 0)
        ASSERT_EQ(walk(t), modelOrder(rows)) << "step " << step;
    }
    EXPECT_EQ(walk(t), modelOrder(rows));
    EXPECT_EQ(walkBack(t), modelOrder(rows));
  }
  Table t;
  t.open(path);
  t.setOrder("DATESENT");
  EXPECT_EQ(walk(t), modelOrder(rows));

  // Emptying most of the tree releases pages and keeps it walkable.
  for (long r = 1; r <= long(rows.size()); ++r)
    if (r % 50 != 0 && !rows[size_t(r - 1)].deleted) {
      t.go(r);
      t.deleteRecord();
      rows[size_t(r - 1)].deleted = true;
    }
  EXPECT_EQ(findingsOf(t), "");
  EXPECT_EQ(walk(t), modelOrder(rows));
  EXPECT_EQ(walkBack(t), modelOrder(rows));
}

TEST(IndexMaintenance, DateNumberAndUpperKeys) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  createSent(path);
  Table t;
  t.open(path);
  const char* dates[] = {"20240315", "", "19991231", "20240101", "20240315"};
  const char* names[] = {"bravo", "Alpha", "charlie", "alpha", "Bravo"};
  int pages[] = {3, 12, 0, 99, 7};
  for (int i = 0; i < 5; ++i) {
    t.append();
    t.setDate("DATESENT", dates[i]);
    t.setField("RECIPIENT", names[i]);
    t.setNumber("PAGES", pages[i]);
    t.post();
  }
  // A date key sorts by day, a blank date first; here descending: newest
  // first, ties newest record first, blank last.
  t.indexTag("DATESENT", "datesent", true, ".not. deleted()");
  EXPECT_EQ(walk(t), (std::vector<long>{5, 1, 4, 3, 2}));
  t.indexTag("PAGES", "PAGES", false, "");
  EXPECT_EQ(walk(t), (std::vector<long>{3, 1, 5, 2, 4}));
  t.indexTag("RECIP", "UPPER(RECIPIENT)", false, ".not. deleted()");
  EXPECT_EQ(walk(t), (std::vector<long>{2, 4, 1, 5, 3}));
  EXPECT_EQ(t.tagNames(), (std::vector<std::string>{"DATESENT", "PAGES", "RECIP"}));
  t.go(1);
  t.deleteRecord();
  EXPECT_EQ(walk(t), (std::vector<long>{2, 4, 5, 3}));
  t.setOrder("PAGES"); // no FOR condition: deleted records stay in the tag
  EXPECT_EQ(walk(t), (std::vector<long>{3, 1, 5, 2, 4}));
  t.setOrder(0);
  EXPECT_EQ(t.indexOrd(), 0);
  EXPECT_EQ(walk(t), (std::vector<long>{1, 2, 3, 4, 5}));
}

TEST(IndexMaintenance, BadExpressionsAreRejectedBeforeAnythingIsWritten) {
  ScratchDir dir;
  std::string path = dir.file("TOV.DBF");
  createSent(path);
  Table t;
  t.open(path);
  for (const char* bad : {"NOSUCHFIELD", "DTOS(SUBJECT)", "SUBSTR(SUBJECT,1,2)", "RTFDOC",
                          "SUBJECT +", "((((SUBJECT)", "SUBJECT + PAGES"}) {
    try {
      t.indexTag("BAD", bad, false, "");
      ADD_FAILURE() << bad << " was accepted";
    } catch (const XBaseError& e) {
      EXPECT_EQ(e.code(), ErrorCode::BadExpression) << bad << ": " << e.what();
    }
  }
  EXPECT_FALSE(t.hasIndex());
  EXPECT_THROW(t.setFilter("PAGES"), XBaseError); // not logical
}
