// Sending a three-page fax with a cover through the simulated modem in every
// class at 9600 and 14400 bit/s. Six calls cover each pair of class × speed,
// class × cover kind and speed × cover kind. Each call is checked end to
// end: the pages the remote fax machine stored (decoded by libtiff, row for
// row with the header line), the station IDs in both directions, the status
// events the application sees, and the fax history file.

#include "FaxSimHarness.h"

#include "faxengine/TFxFaxLog.h"
#include "faxengine/TFxSendFax.h"
#include "faximage/FaxFont.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Rows = std::vector<std::vector<uint8_t>>;
using Pages = std::vector<Rows>;

struct MatrixCase {
  TFaxClass cls;
  uint16_t bps;
  bool apfCover;
  const char* name;
};

void PrintTo(const MatrixCase& c, std::ostream* os) {
  *os << c.name;
}

// Line-time factors: Class 1 waits a few hundred milliseconds before it
// listens for an answer, which at four times the clock would eat most of
// the answer's preamble (see Class1CallTest); Class 2 and 2.0 leave the
// timing to the modem.
int LineSpeed(TFaxClass cls) {
  return cls == fcClass1 ? 2 : 4;
}

const char* ModemModel(TFaxClass cls) {
  switch (cls) {
  case fcClass1:
    return "class1";
  case fcClass2:
    return "class12";
  default:
    return "class120";
  }
}

constexpr const char* kStation = "TOLVANE SM";
constexpr const char* kRecipient = "Bob";
constexpr int kCoverMargin = 48; // the sender's left margin for text covers

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The remote's record of who called: the TIFF's image description.
std::string TiffDescription(const std::string& path) {
  std::string text;
  if (TIFF* tif = TIFFOpen(path.c_str(), "r")) {
    char* d = nullptr;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &d) && d)
      text = d;
    TIFFClose(tif);
  }
  return text;
}

// A text cover's rows as the sender draws them: each line in the standard
// fax font, after the macros are expanded.
Rows TextCoverRows(const std::vector<std::string>& lines) {
  const faximage::FaxFontFace font(faximage::kFaxFontStandard, false);
  Rows rows;
  for (const std::string& text : lines)
    for (int y = 0; y < font.cellHeight(); ++y) {
      std::vector<uint8_t> row(216, 0);
      font.drawTextRow(reinterpret_cast<const uint8_t*>(text.data()), text.size(), y, row.data(),
                       row.size(), kCoverMargin);
      rows.push_back(row);
    }
  return rows;
}

// How many times a page went through page data, end of page and the
// remote's confirmation, in that order (other codes may come between).
int PageCycles(const std::vector<int>& codes) {
  const int want[] = {4, 5, 7};
  int step = 0, cycles = 0;
  for (int code : codes) {
    if (code == want[step] && ++step == 3) {
      ++cycles;
      step = 0;
    }
  }
  return cycles;
}

struct MatrixRun {
  CallOutcome out;
  std::string remoteIdent, hangup, log, history, tiffDescription;
  int32_t linkSpeed = 0;
  Pages sent, cover, got;
};

MatrixRun SendWithCover(const MatrixCase& c) {
  MatrixRun run;
  SimModem sim(ModemModel(c.cls), {"--number", "5551234 fax ident=REMOTE dir=@DIR@/RX"},
               LineSpeed(c.cls));
  EXPECT_TRUE(sim.Started()) << "simulator did not start";
  if (!sim.Started())
    return run;
  fs::create_directory(sim.Dir() + "/RX");
  const std::string apf = faxtest::MakeApf(sim.Dir(), 3, 12);
  std::string cover = sim.Dir() + "/cover.txt";
  if (c.apfCover)
    cover = faxtest::MakeApf(sim.Dir(), 1, 6, "cover");
  else
    std::ofstream(cover) << "COVER\nfor $R\n";

  TFxComPort port;
  TFxSendFax fax;
  TFxFaxLog history;
  history.FaxHistoryName = sim.Dir() + "/FXFAX.HIS";
  history.Fax = &fax;
  fax.SetFaxLog(&history);
  fax.SetFaxClass(c.cls);
  fax.SetDesiredBPS(c.bps);
  fax.SetPhoneNumber("5551234");
  fax.SetFaxFile(apf);
  fax.SetCoverFile(cover);
  fax.SetHeaderLine("Page $P of $N");
  fax.SetHeaderRecipient(kRecipient);
  fax.SetStationID(kStation);
  run.out = faxtest::RunCall(
      fax, port, sim.Link(), [&] { fax.BeginTransmit(); }, 200);
  run.remoteIdent = fax.RemoteIdent();
  run.hangup = fax.LastHangupCode();
  run.linkSpeed = fax.LinkSpeed();
  run.sent = faxtest::ApfRows(apf);
  if (c.apfCover)
    run.cover = faxtest::ApfRows(cover);
  for (const std::string& tif : faxtest::TiffsIn(sim.Dir() + "/RX")) {
    const Pages p = faxtest::TiffRows(tif);
    run.got.insert(run.got.end(), p.begin(), p.end());
    run.tiffDescription = TiffDescription(tif);
  }
  run.log = sim.Log();
  run.history = ReadAll(history.FaxHistoryName);
  return run;
}

// Page p (from 0) of the received fax: 8 blank rows, the header line
// "Page p+1 of 4", then exactly the rows of the page as composed.
void ExpectPage(const MatrixRun& run, size_t p, const Rows& rows) {
  const Rows& page = run.got[p];
  const Rows header = faxtest::HeaderRows("Page " + std::to_string(p + 1) + " of 4");
  ASSERT_EQ(page.size(), 8 + header.size() + rows.size()) << "page " << p + 1;
  for (size_t y = 0; y < 8; ++y)
    EXPECT_TRUE(faxtest::BlankRow(page[y])) << "page " << p + 1 << " row " << y;
  for (size_t y = 0; y < header.size(); ++y)
    EXPECT_EQ(page[8 + y], header[y]) << "page " << p + 1 << " header row " << y;
  for (size_t y = 0; y < rows.size(); ++y)
    ASSERT_EQ(page[8 + header.size() + y], rows[y]) << "page " << p + 1 << " row " << y;
}

class SendMatrix : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(SendMatrix, ThreePagesAndCoverArriveWithHeadersIdsAndHistory) {
  const MatrixCase& c = GetParam();
  const MatrixRun run = SendWithCover(c);
  ASSERT_TRUE(run.out.finished) << run.log;
  ASSERT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_TRUE(run.out.errors.empty());
  EXPECT_EQ(run.out.logs, (std::vector<int>{1, 2}));
  EXPECT_EQ(run.out.lastEvents, 1);

  // Speed: what we asked for is what both ends used.
  EXPECT_EQ(run.linkSpeed, c.bps);
  EXPECT_NE(run.log.find("rate " + std::to_string(c.bps)), std::string::npos) << run.log;

  // Class 1 codes the pages itself: the remote offers MR, so they went in MR.
  if (c.cls == fcClass1)
    EXPECT_NE(run.log.find("coding T.4 2-D,"), std::string::npos) << run.log;

  // Station IDs both ways. In Class 1 the remote's CSI is read back as its
  // 20 bytes, padding in front; our TSI carries its padding after the ID.
  EXPECT_EQ(run.remoteIdent, c.cls == fcClass1 ? "              REMOTE" : "REMOTE");
  const std::regex ours(std::string("far ident '") + kStation + " *'");
  EXPECT_TRUE(std::regex_search(run.log, ours)) << run.log;
  EXPECT_TRUE(std::regex_match(run.tiffDescription, std::regex(std::string(kStation) + " *")))
      << run.tiffDescription;

  // The application saw every page go through data, end of page and the
  // remote's confirmation (the cover and three pages).
  EXPECT_EQ(PageCycles(run.out.statusSequence), 4)
      << ::testing::PrintToString(run.out.statusSequence);

  ASSERT_EQ(run.sent.size(), 3u);
  ASSERT_EQ(run.got.size(), 4u) << run.log;
  if (c.apfCover) {
    ASSERT_EQ(run.cover.size(), 1u);
    ExpectPage(run, 0, run.cover[0]);
  } else {
    ExpectPage(run, 0, TextCoverRows({"COVER", std::string("for ") + kRecipient}));
  }
  for (size_t p = 1; p < 4; ++p)
    ExpectPage(run, p, run.sent[p - 1]);

  // The history: the start entry and the success entry with the remote's
  // ID and the hang-up code, closed by an empty line.
  const std::regex entries("Transmit (.+) to 5551234 started at [^\r\n]+\r\n"
                           "Transmit to (.+) finished OK at [^\r\n]+ ([^ \r\n]*)\r\n\r\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(run.history, m, entries)) << run.history;
  EXPECT_EQ(fs::path(m[1].str()).filename(), "doc.apf");
  EXPECT_EQ(m[2].str(), run.remoteIdent);
  EXPECT_EQ(m[3].str(), run.hangup);
}

INSTANTIATE_TEST_SUITE_P(
    ClassSpeedCover, SendMatrix,
    ::testing::Values(MatrixCase{fcClass1, 9600, true, "Class1_9600_ApfCover"},
                      MatrixCase{fcClass1, 14400, false, "Class1_14400_TextCover"},
                      MatrixCase{fcClass2, 9600, false, "Class2_9600_TextCover"},
                      MatrixCase{fcClass2, 14400, true, "Class2_14400_ApfCover"},
                      MatrixCase{fcClass2_0, 9600, true, "Class2_0_9600_ApfCover"},
                      MatrixCase{fcClass2_0, 14400, false, "Class2_0_14400_TextCover"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
