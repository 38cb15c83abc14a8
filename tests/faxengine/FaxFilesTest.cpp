// Files the fax engine writes: received-file names, received APF files
// (read back with the image library) and the fax history.

#include "faxengine/ReceivedFile.h"
#include "faxengine/TFxFaxLog.h"
#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "faximage/ApfFile.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace faxengine;

namespace {

class TempDir {
public:
  TempDir() {
    char name[] = "/tmp/tolvane-faxfiles-XXXXXX";
    m_path = mkdtemp(name);
  }
  ~TempDir() { fs::remove_all(m_path); }
  std::string path(const std::string& leaf = "") const { return m_path + "/" + leaf; }
  const std::string& dir() const { return m_path; }

private:
  std::string m_path;
};

void Touch(const std::string& path) {
  std::ofstream(path) << "x";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace

TEST(ReceiveNames, NextFreeCounterNameInTheFolder) {
  TempDir t;
  Touch(t.path("FAX0001.APF"));
  Touch(t.path("FAX0002.APF"));
  EXPECT_EQ(DefaultReceiveName(t.dir(), "APF", 1), t.path("FAX0003.APF"));
  // A folder that already ends in a separator gets no second one.
  EXPECT_EQ(DefaultReceiveName(t.dir() + "/", "APF", 1), t.path("FAX0003.APF"));
  // A gap is filled first.
  fs::remove(t.path("FAX0001.APF"));
  EXPECT_EQ(DefaultReceiveName(t.dir(), "APF", 1), t.path("FAX0001.APF"));
  EXPECT_EQ(DefaultReceiveName("", "APF", 1).substr(0, 3), "FAX");
  EXPECT_EQ(DefaultReceiveName(t.dir(), "APF", 7), "noname.apf");
  const std::string dated = DefaultReceiveName(t.dir(), "APF", 2);
  EXPECT_EQ(fs::path(dated).filename().string().size(), 12u);
  EXPECT_EQ(dated.substr(dated.size() - 8), "0001.APF");
}

TEST(ReceivedFiles, PagesAreCountedAndReadBack) {
  TempDir t;
  const std::string path = t.path("FAX0001.APF");
  ReceivedFile f;
  ASSERT_EQ(f.Create(path, "REMOTE"), 0);
  ASSERT_EQ(f.StartPage(true, false), 0);
  const std::vector<uint8_t> page1 = {0x01, 0x02, 0x80};
  ASSERT_EQ(f.Put(page1.data(), page1.size(), true), 0); // Class 2 order: reversed
  ASSERT_EQ(f.FinishPage("REMOTE"), 0);
  // A dropped page leaves no trace; the next page takes its place.
  ASSERT_EQ(f.StartPage(false, true), 0);
  std::vector<uint8_t> junk(5000, 0x55);
  ASSERT_EQ(f.Put(junk.data(), junk.size(), false), 0);
  ASSERT_EQ(f.DropPage(), 0);
  ASSERT_EQ(f.StartPage(false, true), 0);
  std::vector<uint8_t> page2(9000);
  for (size_t i = 0; i < page2.size(); ++i)
    page2[i] = uint8_t(i * 7);
  ASSERT_EQ(f.Put(page2.data(), page2.size(), false), 0);
  ASSERT_EQ(f.FinishPage("REMOTE 2"), 0);
  f.Close();

  faximage::ApfFileHeader header;
  ASSERT_EQ(faximage::readApfFileHeader(path, header), 0);
  EXPECT_EQ(header.pageCount, 2);
  EXPECT_EQ(header.stationId(), "REMOTE 2");
  EXPECT_NE(header.fileDate, 0u);
  std::vector<uint8_t> data;
  faximage::ApfPageHeader ph;
  ASSERT_EQ(faximage::readApfPageData(path, 1, data, &ph), 0);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x80, 0x40, 0x01}));
  EXPECT_TRUE(ph.fine());
  EXPECT_FALSE(ph.wide());
  ASSERT_EQ(faximage::readApfPageData(path, 2, data, &ph), 0);
  EXPECT_EQ(data, page2);
  EXPECT_TRUE(ph.wide());
  EXPECT_EQ(fs::file_size(path), 64u + 16 + 3 + 16 + 9000);
}

// Coded bits written least significant bit first, as pages are stored.
struct BitWriter {
  std::vector<uint8_t> bytes;
  int used = 8;
  void Put(const char* bits) {
    for (; *bits; ++bits) {
      if (used == 8) {
        bytes.push_back(0);
        used = 0;
      }
      if (*bits == '1')
        bytes.back() |= uint8_t(1u << used);
      ++used;
    }
  }
};

// A page ends with its RTC wherever in a byte it ends: the bits after it
// in its last byte are cleared and the fill and line noise that follow are
// not stored. Two-dimensional coding's tag bits after each EOL count as
// part of the RTC; an EOL pair inside the data does not end the page.
TEST(ReceivedFiles, PageEndsWithItsRtc) {
  const char* eol = "000000000001";
  // A white row: the make-up code of 1728 and the terminating code of 0
  // (whole rows, so the page is stored as it came).
  const char* kWhiteRow = "01001101100110101";
  for (const bool twoD : {false, true}) {
    BitWriter page;
    page.Put("000");
    for (int row = 0; row < 3; ++row) {
      page.Put(eol);
      page.Put(twoD ? "1" : "");
      page.Put(kWhiteRow);
    }
    page.Put(eol); // an EOL followed by a row is no RTC yet
    page.Put(twoD ? "1" : "");
    page.Put(kWhiteRow);
    for (int i = 0; i < 6; ++i) {
      page.Put(eol);
      page.Put(twoD ? "1" : "");
    }
    const std::vector<uint8_t> expected = page.bytes; // the last byte's rest is 0
    page.Put("111111111111111111111111");             // fill as the carrier ends
    page.Put("0000000000000000100000000000010110");   // noise
    TempDir t;
    const std::string path = t.path("FAX0001.APF");
    ReceivedFile f;
    ASSERT_EQ(f.Create(path, "REMOTE"), 0);
    ASSERT_EQ(f.StartPage(false, false, twoD ? faximage::FaxCoding::Mr : faximage::FaxCoding::Mh),
              0);
    // In two pieces, the first ending inside the RTC.
    const size_t half = expected.size() - 2;
    ASSERT_EQ(f.Put(page.bytes.data(), half, false), 0);
    EXPECT_FALSE(f.PageEnded());
    ASSERT_EQ(f.Put(page.bytes.data() + half, page.bytes.size() - half, false), 0);
    EXPECT_TRUE(f.PageEnded());
    ASSERT_EQ(f.FinishPage("REMOTE"), 0);
    EXPECT_EQ(f.Rows(), 4);
    EXPECT_EQ(f.BadRows(), 0) << "nothing after the RTC was taken for a row";
    f.Close();
    std::vector<uint8_t> data;
    ASSERT_EQ(faximage::readApfPageData(path, 1, data), 0);
    if (!twoD) // an MH page that decodes whole is stored as it came (MR is coded again)
      EXPECT_EQ(data, expected);
  }
}

TEST(ReceivedFiles, FileCutShortKeepsTheFinishedPages) {
  TempDir t;
  const std::string path = t.path("cut.apf");
  {
    ReceivedFile f;
    ASSERT_EQ(f.Create(path, "X"), 0);
    ASSERT_EQ(f.StartPage(false, false), 0);
    const uint8_t b[] = {1, 2, 3, 4};
    ASSERT_EQ(f.Put(b, sizeof b, false), 0);
    ASSERT_EQ(f.FinishPage("X"), 0);
    ASSERT_EQ(f.StartPage(false, false), 0);
    ASSERT_EQ(f.Put(b, sizeof b, false), 0);
    // Destroyed in mid-page, as when a call breaks off.
  }
  faximage::ApfFileHeader header;
  ASSERT_EQ(faximage::readApfFileHeader(path, header), 0);
  EXPECT_EQ(header.pageCount, 1);
  std::vector<uint8_t> data;
  ASSERT_EQ(faximage::readApfPageData(path, 1, data), 0);
  EXPECT_EQ(data.size(), 4u);
}

TEST(ReceivedFiles, UnwritableFolderIsAnError) {
  ReceivedFile f;
  EXPECT_LT(f.Create("/nonexistent-dir/FAX0001.APF", ""), 0);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_LT(f.StartPage(false, false), 0);
}

TEST(FaxHistory, SendEntries) {
  TempDir t;
  TFxSendFax fax;
  TFxFaxLog log;
  log.FaxHistoryName = t.path("FXFAX.HIS");
  fax.SetFaxFile("LETTER.APF");
  fax.Record().phoneNumber = "5551234";
  fax.Record().remoteID = "REMOTE";
  fax.Protocol().lastHangupCode = "0";
  log.UpdateLog(fax, 1);
  log.UpdateLog(fax, 2);
  fax.Record().lastError = -8074;
  log.UpdateLog(fax, 3);
  log.UpdateLog(fax, 5); // receive codes are not written for a sender
  const std::string text = ReadAll(log.FaxHistoryName);
  std::istringstream lines(text);
  std::string l;
  std::getline(lines, l);
  EXPECT_EQ(l.rfind("Transmit LETTER.APF to 5551234 started at ", 0), 0u) << l;
  EXPECT_EQ(l.back(), '\r');
  std::getline(lines, l);
  EXPECT_EQ(l.rfind("Transmit to REMOTE finished OK at ", 0), 0u) << l;
  EXPECT_EQ(l.substr(l.size() - 3), " 0\r");
  std::getline(lines, l);
  EXPECT_EQ(l, "\r"); // an empty line follows a finished call
  std::getline(lines, l);
  EXPECT_EQ(l.rfind("Transmit failed at ", 0), 0u) << l;
  std::getline(lines, l);
  EXPECT_EQ(l, "  (" + ErrorText(-8074) + ") 0\r");
  std::getline(lines, l);
  EXPECT_EQ(l, "\r");
  EXPECT_FALSE(std::getline(lines, l));
}

TEST(FaxHistory, ReceiveEntriesAndNoFileWithoutName) {
  TempDir t;
  TFxReceiveFax fax;
  TFxFaxLog log;
  log.FaxHistoryName = t.path("rx.his");
  fax.SetFaxFile("FAX0001.APF");
  fax.Record().remoteID = "CALLER";
  log.UpdateLog(fax, 4);
  log.UpdateLog(fax, 6);
  fax.Record().lastError = -6006;
  log.UpdateLog(fax, 7);
  log.UpdateLog(fax, 1);
  const std::string text = ReadAll(log.FaxHistoryName);
  EXPECT_EQ(text.rfind("Receive FAX0001.APF from CALLER started at ", 0), 0u);
  EXPECT_NE(text.find("\r\nReceive skipped at "), std::string::npos);
  EXPECT_NE(text.find("  (" + ErrorText(-6006) + ")\r\n\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Transmit"), std::string::npos);

  TFxFaxLog silent;
  silent.FaxHistoryName = "";
  silent.UpdateLog(fax, 4);
  TFxFaxLog missing;
  missing.FaxHistoryName = t.path("no-such-dir/x.his");
  missing.UpdateLog(fax, 4); // must not throw
  EXPECT_FALSE(fs::exists(t.path("no-such-dir")));
}
