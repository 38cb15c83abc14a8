// The structural checker over long random work: no finding after any step
// of 100,000 appends, edits, deletes, recalls, packs and reopenings over the
// four fax tables, and a planted stale branch key is reported at once.

#include "RandomWorkload.h"
#include "XbaseTestSupport.h"

#include "xbase/CdxNode.h"
#include "xbase/FileIo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace xbase;
using namespace xbtest;

namespace {

constexpr uint32_t kSeed = 20241208;
constexpr long kSteps = 100000;
// Makes the first branch key of the tag's root page stale: the same key
// with a higher record number, so it stays in order with its neighbours but
// no longer equals its child's last key (what removals used to leave).
void plantStaleBranchKey(const std::string& cdxPath) {
  File f;
  f.open(cdxPath, false);
  uint8_t page[kCdxPage];
  f.readAt(0, page, 4);
  uint32_t directoryRoot = getLe32(page);
  f.readAt(directoryRoot, page, kCdxPage);
  CdxNode directory;
  std::string error;
  ASSERT_TRUE(decodeCdxNode(page, CdxKeyFormat{10, ' '}, directory, error)) << error;
  ASSERT_EQ(directory.entries.size(), 1u);
  uint32_t tagHeader = directory.entries[0].recNo;
  uint8_t header[16];
  f.readAt(tagHeader, header, sizeof header);
  CdxKeyFormat format{getLe16(header + 12), ' '};
  uint32_t root = getLe32(header);
  f.readAt(root, page, kCdxPage);
  CdxNode node;
  ASSERT_TRUE(decodeCdxNode(page, format, node, error)) << error;
  ASSERT_FALSE(node.leaf()) << "the tree has no branch page yet";
  size_t i = 0;
  while (i + 1 < node.entries.size() && node.entries[i].key == node.entries[i + 1].key)
    ++i;
  ASSERT_LT(i + 1, node.entries.size());
  node.entries[i].recNo += 1000000;
  ASSERT_TRUE(encodeCdxNode(node, format, page));
  f.writeAt(root, page, kCdxPage);
}

std::string joined(const std::vector<std::string>& findings) {
  std::string text;
  for (const auto& f : findings)
    text += "\n  " + f;
  return text;
}

} // namespace

TEST(Structure, NoFindingAfterAnyStepOfLongRandomWork) {
  ScratchDir dir(true);
  RandomWorkload work(dir.path(), kSeed);
  auto start = std::chrono::steady_clock::now();
  long checks = 0;
  for (long s = 1; s <= kSteps; ++s) {
    size_t i = work.step();
    std::vector<std::string> findings = work.table(i).checkStructure();
    ++checks;
    ASSERT_TRUE(findings.empty()) << work.lastStep() << joined(findings);
  }
  for (size_t i = 0; i < RandomWorkload::kTables; ++i) {
    std::vector<std::string> findings = work.table(i).checkStructure();
    EXPECT_TRUE(findings.empty()) << work.path(i) << joined(findings);
    EXPECT_GT(work.table(i).recCount(), 100); // the tables did grow
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld steps, %ld checks, %.1f s\n", kSteps, checks, seconds);
}

TEST(Structure, PlantedStaleBranchKeyIsFoundByTheNextCheck) {
  ScratchDir dir(true);
  RandomWorkload work(dir.path(), kSeed);
  constexpr long kPlantAt = 6000;
  constexpr size_t kPhone = 3;
  for (long s = 1; s < kPlantAt; ++s) {
    size_t i = work.step();
    ASSERT_TRUE(work.table(i).checkStructure().empty()) << work.lastStep();
  }
  work.close(kPhone);
  plantStaleBranchKey(dir.file("TOVPB.CDX"));
  work.reopen(kPhone);
  EXPECT_TRUE(work.table(kPhone).openRepairs().empty()); // the table file did not change
  std::vector<std::string> findings = work.table(kPhone).checkStructure();
  ASSERT_EQ(findings.size(), 1u) << joined(findings);
  EXPECT_NE(findings[0].find("TOVPB.CDX, tag NAME: "), std::string::npos) << findings[0];
  EXPECT_NE(findings[0].find("differs from the last key of child page"), std::string::npos)
      << findings[0];
}

// The reproductions from the report: removing the last key of a leaf must
// carry the new last key up into the branch pages.
TEST(Structure, BranchKeysFollowRemovedLastKeys) {
  ScratchDir dir;
  {
    Table t;
    createFaxTable(FaxTable::Phone, dir.path(), t);
    for (int i = 0; i < 300; ++i) {
      t.append();
      char name[40];
      std::snprintf(name, sizeof name, "Name %04d", (i * 7919) % 300);
      t.setField("NAME", name);
      t.post();
    }
    for (long r : {5L, 17L, 300L, 1L}) {
      t.go(r);
      t.deleteRecord();
      EXPECT_EQ(joined(t.checkStructure()), "") << "after deleting " << r;
    }
    // Every key of a whole leaf, from its last one down.
    t.setOrder(1);
    t.last();
    for (int k = 0; k < 40; ++k) {
      t.deleteRecord();
      t.last();
    }
    EXPECT_EQ(joined(t.checkStructure()), "");
  }
  {
    Table t;
    createFaxTable(FaxTable::Received, dir.path(), t);
    for (int i = 0; i < 1500; ++i) {
      t.append();
      char date[9];
      std::snprintf(date, sizeof date, "2024%02d%02d", i / 28 % 12 + 1, i % 28 + 1);
      t.setDate("DATEREC", date);
      t.setField("TIMEREC", "10:00");
      t.post();
    }
    for (long r = 3; r <= 1500; r += 3) {
      t.go(r);
      t.deleteRecord();
    }
    EXPECT_EQ(joined(t.checkStructure()), "");
    t.go(2); // a key change moves the key out of its page and in elsewhere
    t.edit();
    t.setDate("DATEREC", "20300101");
    t.post();
    EXPECT_EQ(joined(t.checkStructure()), "");
  }
}
