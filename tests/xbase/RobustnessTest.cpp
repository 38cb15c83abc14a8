// Exclusive use, crash safety and damage detection: a killed writer never
// costs a posted record, and a damaged or stale file never yields wrong
// records or a crash.

#include "XbaseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace xbase;
using namespace xbtest;
namespace fs = std::filesystem;

namespace {

void createCover(const std::string& path) {
  TableCreator c(path, 2);
  c.addField("DESCRIPT", 'C', 35);
  c.addField("COVER", 'M', 10);
  c.execute();
  Table t;
  t.open(path);
  t.indexTag("DESCRIPT", "DESCRIPT", false, ".not. deleted()");
}

// The memo each record carries is derived from its description, so a
// record whose memo does not match was torn by a crash.
std::string memoFor(const std::string& descript) {
  std::string memo = descript + "\r\n";
  for (size_t i = 0; i < descript.size() * 40; ++i)
    memo += char(descript[i % descript.size()] ^ char(i));
  return memo;
}

std::vector<long> walk(Table& t) {
  std::vector<long> order;
  for (t.first(); !t.eof(); t.next())
    order.push_back(t.recNo());
  return order;
}

// Active records sorted by (field, record number), read in natural order.
std::vector<long> expectedOrder(Table& t, const std::string& field) {
  std::vector<std::pair<std::string, long>> keyed;
  int order = t.indexOrd();
  t.setOrder(0);
  for (t.first(); !t.eof(); t.next())
    if (!t.isDeleted())
      keyed.emplace_back(t.fieldRaw(field), t.recNo());
  t.setOrder(order);
  std::sort(keyed.begin(), keyed.end());
  std::vector<long> result;
  for (const auto& k : keyed)
    result.push_back(k.second);
  return result;
}

[[noreturn]] void writeForever(const std::string& path, int reportFd, unsigned seed) {
  std::mt19937 rng(seed);
  Table t;
  t.open(path);
  for (long n = 0;; ++n) {
    std::string descript = "w" + std::to_string(seed) + "-" + std::to_string(n);
    if (t.recCount() > 0 && rng() % 3 == 0) {
      t.go(long(rng() % unsigned(t.recCount())) + 1);
      t.edit();
    } else {
      t.append();
    }
    t.setField("DESCRIPT", descript);
    t.setMemo("COVER", memoFor(descript));
    t.post();
    if (rng() % 7 == 0)
      t.deleteRecord();
    std::string line = std::to_string(t.recNo()) + "\n";
    if (write(reportFd, line.data(), line.size()) < 0)
      _exit(1);
  }
}

} // namespace

TEST(Robustness, TableIsOpenedExclusively) {
  ScratchDir dir;
  std::string path = dir.file("TOVCOV.DBF");
  createCover(path);
  Table first;
  first.open(path);
  Table second;
  try {
    second.open(path);
    ADD_FAILURE() << "second open succeeded";
  } catch (const XBaseError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Locked);
  }
  EXPECT_FALSE(second.isOpen());
  EXPECT_THROW(TableCreator(path, 1).execute(), XBaseError);

  pid_t child = fork();
  if (child == 0) {
    Table other;
    try {
      other.open(path);
    } catch (const XBaseError& e) {
      _exit(e.code() == ErrorCode::Locked ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  first.close();
  second.open(path);
  EXPECT_TRUE(second.isOpen());
}

TEST(Robustness, KilledWriterLeavesEveryPostedRecordIntact) {
  ScratchDir dir;
  std::string path = dir.file("TOVCOV.DBF");
  createCover(path);
  std::mt19937 rng(99);
  for (unsigned round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    if (child == 0) {
      close(fds[0]);
      writeForever(path, fds[1], round);
    }
    close(fds[1]);
    usleep(useconds_t(2000 + rng() % 40000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::string reported;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
      reported.append(buf, size_t(n));
    close(fds[0]);
    long highest = 0;
    for (size_t pos = 0; pos < reported.size();) {
      size_t end = reported.find('\n', pos);
      if (end == std::string::npos)
        break;
      highest = std::max(highest, std::stol(reported.substr(pos, end - pos)));
      pos = end + 1;
    }

    Table t;
    t.open(path);
    ASSERT_GE(t.recCount(), highest);
    for (long r = 1; r <= t.recCount(); ++r) {
      t.go(r);
      std::string descript = t.fieldString("DESCRIPT");
      ASSERT_EQ(t.memo("COVER"), memoFor(descript)) << "record " << r;
    }
    t.setOrder("DESCRIPT");
    ASSERT_EQ(walk(t), expectedOrder(t, "DESCRIPT"));
  }
}

TEST(Robustness, TruncatedTableIsCutToWholeRecordsAndReindexed) {
  ScratchDir dir;
  copyTable("large", "TOVREC", dir.path());
  std::string path = dir.file("TOVREC.DBF");
  long before;
  {
    Table t;
    t.open(path);
    before = t.recCount();
  }
  fs::resize_file(path, fs::file_size(path) - 150); // one and a half records lost
  Table t;
  t.open(path);
  EXPECT_EQ(t.recCount(), before - 2);
  t.setOrder(1);
  std::vector<long> order = walk(t);
  EXPECT_TRUE(std::all_of(order.begin(), order.end(), [&](long r) { return r <= before - 2; }));
  EXPECT_EQ(findingsOf(t), "");
  t.append();
  t.setField("FROM", "after repair");
  t.post();
  EXPECT_EQ(t.recNo(), before - 1);
  EXPECT_EQ(findingsOf(t), "");
}

TEST(Robustness, StaleOrDamagedIndexIsRebuilt) {
  ScratchDir dir;
  copyTable("large", "TOVPB", dir.path());
  std::string path = dir.file("TOVPB.DBF"), cdx = dir.file("TOVPB.CDX");
  std::vector<long> expected;
  {
    Table t;
    t.open(path);
    t.setOrder("NAME");
    expected = walk(t);
  }
  std::string original = readFile(cdx);

  // Every leaf page in turn gets its key bytes scrambled.
  std::mt19937 rng(7);
  for (int trial = 0; trial < 10; ++trial) {
    std::string damaged = original;
    size_t page = 2 + rng() % (damaged.size() / 512 - 2);
    for (int i = 0; i < 40; ++i)
      damaged[page * 512 + 12 + rng() % 500] = char(rng());
    writeFile(cdx, damaged);
    Table t;
    try {
      t.open(path);
    } catch (const XBaseError& e) {
      EXPECT_EQ(e.code(), ErrorCode::BadIndex) << e.what(); // tag definitions hit
      continue;
    }
    t.setOrder("NAME");
    EXPECT_EQ(walk(t), expected) << "page " << page;
  }

  // An index from an older state of the table: records appended since are
  // missing from it, which the record-count stamp reveals.
  writeFile(cdx, original);
  std::string older;
  {
    Table t;
    t.open(path);
    t.append(); // stamps the index with the current count on close
    t.setField("NAME", "Zed");
    t.post();
    t.close();
    older = readFile(cdx);
    t.open(path);
    t.append();
    t.setField("NAME", "Aaron");
    t.post();
  }
  writeFile(cdx, older);
  Table t;
  t.open(path);
  t.setOrder("NAME");
  std::vector<long> order = walk(t);
  EXPECT_EQ(order, expectedOrder(t, "NAME"));
  EXPECT_NE(std::find(order.begin(), order.end(), t.recCount()), order.end());
  EXPECT_EQ(findingsOf(t), "");
}

TEST(Robustness, IndexThatLostKeysIsRebuilt) {
  // An index written when every record was deleted, put beside the table
  // again with its records intact: same record count, no update mark, but
  // the tag lacks every key.
  ScratchDir dir;
  copyTable("basic", "TOVPB", dir.path());
  std::string path = dir.file("TOVPB.DBF"), cdx = dir.file("TOVPB.CDX");
  std::string table = readFile(path);
  {
    Table t;
    t.open(path);
    for (long r = 1; r <= t.recCount(); ++r) {
      t.go(r);
      t.deleteRecord();
    }
  }
  writeFile(path, table);
  Table t;
  t.open(path);
  t.setOrder("NAME");
  EXPECT_EQ(walk(t), (std::vector<long>{8, 4, 7, 1, 6, 3, 2}));
  EXPECT_EQ(findingsOf(t), "");
}

TEST(Robustness, DamagedHeadersAndMemoPointersGiveClearErrors) {
  ScratchDir dir;
  copyTable("basic", "TOV", dir.path());
  std::string path = dir.file("TOV.DBF");
  std::string dbf = readFile(path);

  std::string bad = dbf;
  bad[10] = 7; // record length no longer matches the fields
  writeFile(path, bad);
  Table t;
  try {
    t.open(path);
    ADD_FAILURE() << "opened a table with a wrong record length";
  } catch (const XBaseError& e) {
    EXPECT_EQ(e.code(), ErrorCode::BadTable);
  }

  bad = dbf;
  size_t rtfdoc = 354 + 247 - 10; // memo field of record 1
  bad.replace(rtfdoc, 10, "     99999");
  writeFile(path, bad);
  t.open(path);
  t.go(1);
  EXPECT_THROW(t.memo("RTFDOC"), XBaseError);
  EXPECT_FALSE(t.memoToFile("RTFDOC", dir.file("out.rtf")));
  t.close();

  std::string cdx = readFile(dir.file("TOV.CDX"));
  cdx[0x600 + 12] = 0; // tag header with key length 0
  writeFile(path, dbf);
  writeFile(dir.file("TOV.CDX"), cdx);
  try {
    t.open(path);
    ADD_FAILURE() << "opened an index with an unreadable tag";
  } catch (const XBaseError& e) {
    EXPECT_EQ(e.code(), ErrorCode::BadIndex);
  }
}

TEST(Robustness, InterruptedPackLeavesOldOrNewTable) {
  ScratchDir before, after;
  copyTable("basic", "TOV", before.path());
  copyTable("basic", "TOV", after.path());
  {
    Table t;
    t.open(after.file("TOV.DBF"));
    t.pack();
  }
  // Killed before the marker: the half-made files are dropped.
  fs::copy_file(after.file("TOV.DBF"), before.file("TOV.DBF.packed"));
  {
    Table t;
    t.open(before.file("TOV.DBF"));
    EXPECT_EQ(t.recCount(), 6);
  }
  EXPECT_FALSE(fs::exists(before.file("TOV.DBF.packed")));
  // Killed between the renames: the open completes them.
  fs::copy_file(after.file("TOV.DBF"), before.file("TOV.DBF.packed"));
  fs::copy_file(after.file("TOV.FPT"), before.file("TOV.FPT.packed"));
  writeFile(before.file("TOV.DBF.packing"), "");
  Table t;
  t.open(before.file("TOV.DBF"));
  EXPECT_EQ(t.recCount(), 5);
  for (long r = 1; r <= 5; ++r) {
    t.go(r);
    EXPECT_FALSE(t.isDeleted());
  }
  t.go(5);
  EXPECT_EQ(t.memo("RTFCOVER").substr(0, 6), "{\\rtf1");
  EXPECT_FALSE(fs::exists(before.file("TOV.DBF.packing")));
}
