#include "core/FaxTables.h"
#include "core/TableMaintenance.h"
#include "platform/ProgramDir.h"
#include "xbase/CdxNode.h"
#include "xbase/FileIo.h"
#include "xbase/Table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace app;

namespace {

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs a script under the system Python, whose dbfread module reads our
// tables independently of our engine.
std::string runPython(const std::string& script) {
  std::string cmd = "/usr/bin/python3 -c '" + script + "' 2>&1";
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
      out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

class FaxTables : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("tolvane-tables-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_path = m_dir.string() + "/";
    xbase::TableEnv::setDeleted(true);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  void copyFixture() {
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_TEST_DATA) / "appcore/basic"))
      fs::copy_file(e.path(), m_dir / e.path().filename());
  }

  // The values of one field in the visible records, in the current order.
  static std::vector<std::string> column(xbase::Table& t, const std::string& field) {
    std::vector<std::string> values;
    for (t.first(); !t.eof(); t.next())
      values.push_back(t.fieldString(field));
    return values;
  }

  static void addSent(xbase::Table& t, const std::string& subject, const std::string& date,
                      const std::string& time) {
    t.append();
    t.setField("SUBJECT", subject);
    t.setDate("DATESENT", date);
    t.setField("TIMESENT", time);
    t.setLogical("SENT", !date.empty());
    t.post();
  }

  fs::path m_dir;
  std::string m_path;
};

} // namespace

TEST_F(FaxTables, EmptyFolderGetsExactFieldLists) {
  for (const TableSchema* schema : {&SentTable, &ReceivedTable, &CoverTable, &PhoneTable}) {
    ASSERT_TRUE(MakeTable(*schema, m_path)) << schema->FileName;
    EXPECT_FALSE(fs::exists(m_dir / IndexFileName(schema->FileName)));
    xbase::Table t;
    t.open(m_path + schema->FileName);
    ASSERT_EQ(t.fields().size(), schema->Fields.size());
    for (std::size_t i = 0; i < schema->Fields.size(); ++i) {
      EXPECT_EQ(t.fields()[i].name, schema->Fields[i].Name);
      EXPECT_EQ(t.fields()[i].type, schema->Fields[i].Type);
      EXPECT_EQ(t.fields()[i].width, schema->Fields[i].Width);
    }
  }
  const std::string listing =
      runPython("import dbfread\n"
                "for n in [\"TOV\",\"TOVREC\",\"TOVCOV\",\"TOVPB\"]:\n"
                "  t = dbfread.DBF(\"" +
                m_path +
                "\" + n + \".DBF\", load=True)\n"
                "  print(n, len(t.records), \" \".join(\"%s:%s%d.%d\" % (f.name, f.type, f.length, "
                "f.decimal_count) for f in t.fields))\n");
  EXPECT_EQ(listing,
            "TOV 0 SUBJECT:C50.0 SENT:L1.0 DATESENT:D8.0 TIMESENT:C5.0 RECIPIENT:C35.0 "
            "PHONE:C25.0 PAGES:N2.0 LASTRESULT:C100.0 RTFCOVER:M10.0 RTFDOC:M10.0\n"
            "TOVREC 0 DATEREC:D8.0 TIMEREC:C5.0 FROM:C20.0 PAGES:N2.0 FAXFILE:C12.0 NOTES:C60.0\n"
            "TOVCOV 0 DESCRIPT:C35.0 COVER:M10.0\n"
            "TOVPB 0 NAME:C35.0 PHONE:C25.0\n");
}

TEST_F(FaxTables, OpeningCreatesTableAndIndexAndSetsFilterAndOrder) {
  xbase::Table sent, cover;
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  EXPECT_TRUE(fs::exists(m_dir / "TOV.DBF"));
  EXPECT_TRUE(fs::exists(m_dir / "TOV.CDX"));
  EXPECT_EQ(sent.tagNames(), std::vector<std::string>{"DATESENT"});
  EXPECT_EQ(sent.filter(), ".not. deleted()");
  ASSERT_TRUE(OpenTable(CoverTable, cover, m_path));
  EXPECT_EQ(cover.orderTag(), "DESCRIPT");
  EXPECT_EQ(cover.filter(), ".not. deleted()");
  // Reopening a component that holds its table works.
  EXPECT_TRUE(OpenTable(SentTable, sent, m_path));
  // A folder that does not exist can hold no table.
  xbase::Table nowhere;
  EXPECT_FALSE(OpenTable(PhoneTable, nowhere, m_path + "missing/"));
}

TEST_F(FaxTables, SentListIsNewestFirstWithUnsentLast) {
  xbase::Table sent;
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  addSent(sent, "never sent", "", "");
  addSent(sent, "morning", "20261207", "09:05");
  addSent(sent, "afternoon", "20261207", "14:30");
  addSent(sent, "last year", "20251231", "23:59");
  sent.setOrder(std::string("DATESENT"));
  EXPECT_EQ(column(sent, "SUBJECT"),
            (std::vector<std::string>{"afternoon", "morning", "last year", "never sent"}));
}

TEST_F(FaxTables, DeletedRecordsAreHiddenAndNotCounted) {
  // The table's own filter hides them even with the engine option off.
  xbase::TableEnv::setDeleted(false);
  xbase::Table sent;
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  addSent(sent, "a", "20260101", "10:00");
  addSent(sent, "b", "20260102", "10:00");
  addSent(sent, "c", "20260103", "10:00");
  sent.setOrder(std::string("DATESENT"));
  sent.go(2);
  sent.deleteRecord();
  EXPECT_EQ(sent.queryRecCount(), 2);
  EXPECT_EQ(sent.recCount(), 3);
  EXPECT_EQ(column(sent, "SUBJECT"), (std::vector<std::string>{"c", "a"}));
  sent.close();
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  EXPECT_EQ(sent.queryRecCount(), 2);
  sent.setOrder(0);
  EXPECT_EQ(column(sent, "SUBJECT"), (std::vector<std::string>{"a", "c"}));
}

TEST_F(FaxTables, MissingOrDamagedIndexIsRebuiltOnOpen) {
  copyFixture();
  std::map<std::string, std::vector<std::string>> before;
  for (const TableSchema* schema : {&SentTable, &ReceivedTable}) {
    xbase::Table t;
    ASSERT_TRUE(OpenTable(*schema, t, m_path));
    t.setOrder(std::string(schema->Tag));
    before[schema->FileName] = column(t, schema->Fields[0].Name);
  }
  EXPECT_EQ(before["TOV.DBF"].size(), 5u);

  fs::remove(m_dir / "TOV.CDX");
  std::ofstream(m_dir / "TOVREC.CDX", std::ios::binary | std::ios::trunc)
      << std::string(1536, '\x5A');
  for (const TableSchema* schema : {&SentTable, &ReceivedTable}) {
    xbase::Table t;
    ASSERT_TRUE(OpenTable(*schema, t, m_path)) << schema->FileName;
    EXPECT_EQ(t.tagNames(), std::vector<std::string>{schema->Tag});
    t.setOrder(std::string(schema->Tag));
    EXPECT_EQ(column(t, schema->Fields[0].Name), before[schema->FileName]) << schema->FileName;
  }
  EXPECT_TRUE(fs::exists(m_dir / "TOV.CDX"));
}

TEST_F(FaxTables, MaintenancePacksEveryTableAndRebuildsItsTag) {
  copyFixture();
  xbase::Table sent, received, phone, cover;
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  ASSERT_TRUE(OpenTable(ReceivedTable, received, m_path));
  for (long rec : {1, 2, 5}) {
    sent.go(rec);
    sent.deleteRecord();
  }
  EXPECT_EQ(sent.queryRecCount(), 2);

  std::vector<std::string> steps;
  RebuildIndexes({sent, received, phone, cover}, m_path,
                 [&](const std::string& text) { steps.push_back(text); });
  EXPECT_EQ(
      steps,
      (std::vector<std::string>{
          "Removing FAX file records marked for deletion", "Rebuilding FAX file indexes",
          "Removing Received FAX records marked for deletion", "Rebuilding Received FAX indexes",
          "Removing PHONE file records marked for deletion", "Rebuilding PHONE file indexes",
          "Removing COVER file records marked for deletion", "Rebuilding COVER file indexes"}));
  // The Sent and Received tables stay open in their new order; the others are closed.
  ASSERT_TRUE(sent.isOpen());
  ASSERT_TRUE(received.isOpen());
  EXPECT_FALSE(phone.isOpen());
  EXPECT_FALSE(cover.isOpen());
  EXPECT_EQ(sent.recCount(), 2);
  EXPECT_EQ(sent.orderTag(), "DATESENT");
  EXPECT_EQ(column(sent, "SUBJECT"), (std::vector<std::string>{"Gr\xFC\xDF"
                                                               "e nach M\xFC"
                                                               "nchen",
                                                               "Draft, not sent yet"}));
  EXPECT_EQ(received.recCount(), 5);
  // The Sent tag is now keyed on the date alone.
  const std::string cdx = readBytes(m_dir / "TOV.CDX");
  EXPECT_NE(cdx.find("datesent"), std::string::npos);
  EXPECT_EQ(cdx.find("DTOS("), std::string::npos);
  sent.close();
  received.close();

  // An independent reader sees the packed files: nothing deleted is left.
  EXPECT_EQ(runPython("import dbfread\n"
                      "for n in [\"TOV\",\"TOVREC\",\"TOVCOV\",\"TOVPB\"]:\n"
                      "  t = dbfread.DBF(\"" +
                      m_path +
                      "\" + n + \".DBF\", load=True, encoding=\"cp1252\")\n"
                      "  print(n, len(t.records), len(t.deleted))\n"),
            "TOV 2 0\nTOVREC 5 0\nTOVCOV 5 0\nTOVPB 7 0\n");
}

TEST_F(FaxTables, MaintenanceCreatesMissingTablesAndIsStableWhenRepeated) {
  xbase::Table sent, received, phone, cover;
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  ASSERT_TRUE(OpenTable(ReceivedTable, received, m_path));
  addSent(sent, "one", "20260105", "08:00");
  RebuildIndexes({sent, received, phone, cover}, m_path, nullptr);
  for (const char* name : {"TOVPB.DBF", "TOVPB.CDX", "TOVCOV.DBF", "TOVCOV.CDX"})
    EXPECT_TRUE(fs::exists(m_dir / name)) << name;
  ASSERT_TRUE(OpenTable(PhoneTable, phone, m_path));
  EXPECT_EQ(phone.recCount(), 0);
  phone.close();

  // Index files carry a stamp of their table file's size and time, which a
  // pack renews; everything else must stay byte for byte.
  auto snapshot = [&] {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(m_dir)) {
      std::string bytes = readBytes(e.path());
      if (e.path().extension() == ".CDX" && bytes.size() > 472)
        bytes.replace(448, 24, 24, '\0');
      files[e.path().filename().string()] = bytes;
    }
    return files;
  };
  const auto first = snapshot();
  RebuildIndexes({sent, received, phone, cover}, m_path, nullptr);
  EXPECT_EQ(snapshot(), first);
}

namespace {

// Changes the last byte of the phone book tag's root page: the first key's
// stored bytes, so its key no longer matches its record. The table file is
// left alone, so opening the table does not notice.
void spoilFirstPhoneKey(const std::string& cdxPath) {
  xbase::File f;
  f.open(cdxPath, false);
  uint8_t page[xbase::kCdxPage];
  f.readAt(0, page, 4);
  f.readAt(xbase::getLe32(page), page, xbase::kCdxPage);
  xbase::CdxNode directory;
  std::string error;
  ASSERT_TRUE(xbase::decodeCdxNode(page, xbase::CdxKeyFormat{10, ' '}, directory, error));
  f.readAt(directory.entries.at(0).recNo, page, 4);
  uint32_t root = xbase::getLe32(page);
  f.readAt(root + xbase::kCdxPage - 1, page, 1);
  page[0] ^= 0x20;
  f.writeAt(root + xbase::kCdxPage - 1, page, 1);
}

} // namespace

TEST_F(FaxTables, CheckTablesReportsBeforeMaintenanceRepairs) {
  xbase::Table sent, received, phone, cover;
  ASSERT_TRUE(OpenTable(SentTable, sent, m_path));
  ASSERT_TRUE(OpenTable(ReceivedTable, received, m_path));
  ASSERT_TRUE(OpenTable(PhoneTable, phone, m_path));
  for (const char* name : {"Baker", "Adams", "Clark"}) {
    phone.append();
    phone.setField("NAME", name);
    phone.post();
  }
  phone.close();
  std::vector<std::string> steps;
  auto record = [&](const std::string& text) { steps.push_back(text); };
  EXPECT_TRUE(CheckTables({sent, received, phone, cover}, m_path, record).empty());
  // The cover table does not exist: skipped, and not created.
  EXPECT_FALSE(fs::exists(m_dir / "TOVCOV.DBF"));
  EXPECT_EQ(steps, (std::vector<std::string>{"Checking FAX file", "Checking Received FAX file",
                                             "Checking PHONE file", "Checking COVER file"}));
  EXPECT_FALSE(phone.isOpen());

  spoilFirstPhoneKey(m_path + "TOVPB.CDX");
  std::vector<TableFinding> found = CheckTables({sent, received, phone, cover}, m_path, nullptr);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].FileName, "TOVPB.DBF");
  EXPECT_EQ(found[0].Text.rfind("TOVPB.CDX, tag NAME: ", 0), 0u) << found[0].Text;

  RebuildIndexes({sent, received, phone, cover}, m_path, nullptr);
  found = CheckTables({sent, received, phone, cover}, m_path, nullptr);
  EXPECT_TRUE(found.empty()) << found[0].Text;
}

// A data folder copied from Windows: the phone book's files in lower case
// are the phone book, not a reason to start an empty one beside them.
TEST_F(FaxTables, TablesInOtherLetterCaseAreOpenedNotReplaced) {
  {
    xbase::Table phone;
    ASSERT_TRUE(OpenTable(PhoneTable, phone, m_path));
    phone.append();
    phone.setField("NAME", "Baker");
    phone.post();
  }
  fs::rename(m_dir / "TOVPB.DBF", m_dir / "tovpb.dbf");
  fs::rename(m_dir / "TOVPB.CDX", m_dir / "tovpb.cdx");
  xbase::Table phone;
  ASSERT_TRUE(OpenTable(PhoneTable, phone, m_path));
  EXPECT_EQ(column(phone, "NAME"), std::vector<std::string>{"Baker"});
  EXPECT_FALSE(fs::exists(m_dir / "TOVPB.DBF"));
  EXPECT_FALSE(fs::exists(m_dir / "TOVPB.CDX"));
  phone.close();
  xbase::Table sent, received, cover;
  RebuildIndexes({sent, received, phone, cover}, m_path, nullptr);
  EXPECT_TRUE(fs::exists(m_dir / "tovpb.cdx"));
  EXPECT_FALSE(fs::exists(m_dir / "TOVPB.CDX"));
}
