// A spandsp fax terminal calls and sends pages; the DTE fetches them.

#include <gtest/gtest.h>

#include "sim/class2/DleStream.h"
#include "tests/sim/class2/FaxPeer.h"

namespace tolvane::sim::test {
namespace {

using Result = Class2Modem::Result;

// Reads one page the modem delivers after +FDR: strips DLE framing up to
// DLE ETX and returns the data; the text after it stays in rest.
std::vector<uint8_t> pageData(const std::string& out, std::string& rest) {
  std::vector<uint8_t> data;
  size_t start = out.find("CONNECT\r\n");
  EXPECT_NE(start, std::string::npos) << out;
  for (size_t i = start + 9; i + 1 < out.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(out[i]);
    if (b != kDle) {
      data.push_back(b);
      continue;
    }
    uint8_t next = static_cast<uint8_t>(out[++i]);
    if (next == kEtx) {
      rest = out.substr(i + 1);
      return data;
    }
    if (next == kDle)
      data.push_back(kDle);
  }
  ADD_FAILURE() << "no DLE ETX";
  return data;
}

struct ReceiveCase {
  Class2Dialect dialect;
  bool msbFirst;
  const char* connect;
  const char* tsi;
  const char* dcs;
  const char* pts;
  const char* hangup;
};

void receiveTwoPages(const ReceiveCase& c) {
  std::string txFile = tempFile("tx.tif");
  std::vector<Page> pages{makeTestPage(1728, 150, 5), makeTestPage(1728, 100, 6)};
  writeTiff(txFile, pages, 1728, true);
  FaxBench bench(c.dialect, FaxBench::Remote::Sender, txFile);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("A"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n", 30));
  std::string negotiation = bench.takeOutput();
  EXPECT_NE(negotiation.find(c.connect), std::string::npos) << negotiation;
  EXPECT_NE(negotiation.find(std::string(c.tsi) + ":\"REMOTE 555\""), std::string::npos);
  EXPECT_NE(negotiation.find(std::string(c.dcs) + ":1,5,0,"), std::string::npos) << negotiation;

  for (size_t p = 0; p < pages.size(); ++p) {
    ASSERT_EQ(m.command("+FDR"), Result::Pending);
    ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 30));
    ASSERT_TRUE(m.inDataMode());
    if (p == 0) {
      // the DTE holds the data back with XOFF, then lets it come
      const uint8_t dc2Xoff[] = {kDc2, kXoff};
      m.dteData(dc2Xoff, 2);
      bench.run(4);
      EXPECT_EQ(bench.dteOutput().substr(bench.dteOutput().rfind("CONNECT\r\n")), "CONNECT\r\n");
      const uint8_t xon = kXon;
      m.dteData(&xon, 1);
    } else {
      const uint8_t dc2 = kDc2;
      m.dteData(&dc2, 1);
    }
    ASSERT_TRUE(bench.waitFor("\r\nOK\r\n", 60));
    std::string rest;
    std::vector<uint8_t> data = pageData(bench.takeOutput(), rest);
    bool last = p + 1 == pages.size();
    std::string lines = std::to_string(pages[p].size());
    EXPECT_EQ(rest.substr(0, rest.find(',', rest.find(',') + 1)),
              "\r\n" + std::string(c.pts) + ":1," + lines)
        << rest;
    EXPECT_NE(rest.find(last ? "+FET:2\r\n" : "+FET:0\r\n"), std::string::npos) << rest;
    Page got = decodeWithLibtiff(data, 1728, static_cast<int>(pages[p].size()), c.msbFirst);
    ASSERT_EQ(got.size(), pages[p].size());
    for (size_t y = 0; y < got.size(); ++y)
      ASSERT_EQ(got[y], pages[p][y]) << "page " << p << " row " << y;
  }
  ASSERT_EQ(m.command("+FDR"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("OK\r\n", 30));
  EXPECT_EQ(bench.takeOutput(), "\r\n" + std::string(c.hangup) + "\r\n\r\nOK\r\n");
  EXPECT_TRUE(bench.hungUp());
  bench.run(3);
  EXPECT_EQ(bench.remoteCompletion(), 0);
  std::remove(txFile.c_str());
}

TEST(Class2Receive, PagesArriveWithReversedBitOrderAndPageReports) {
  receiveTwoPages({Class2Dialect::Class2, true, "+FCON", "+FTSI", "+FDCS", "+FPTS", "+FHNG:0"});
}

TEST(Class20Receive, PagesArriveInLineBitOrderAndPageReports) {
  receiveTwoPages({Class2Dialect::Class20, false, "+FCO\r\n", "+FTI", "+FCS", "+FPS", "+FHS:00"});
}

TEST(Class2Receive, CarrierLostMidPageEndsTheDataWithAHangupCode) {
  std::string txFile = tempFile("txlost.tif");
  writeTiff(txFile, {makeTestPage(1728, 1100, 7)}, 1728, true);
  FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Sender, txFile);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("A"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n", 30));
  ASSERT_EQ(m.command("+FDR"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 30));
  const uint8_t dc2 = kDc2;
  m.dteData(&dc2, 1);
  bench.run(2); // part of the page has arrived
  m.callEvent(Class2Modem::Event::Hangup);
  std::string out = bench.takeOutput();
  size_t end = out.rfind("\x10\x03");
  ASSERT_NE(end, std::string::npos);
  size_t start = out.find("CONNECT\r\n");
  EXPECT_GT(end - start, 1000u) << "page data reaches the DTE while the page is coming in";
  EXPECT_EQ(out.substr(end + 2), "\r\n+FHNG:90\r\n\r\nERROR\r\n");
  EXPECT_FALSE(m.inDataMode());
  std::remove(txFile.c_str());
}

} // namespace
} // namespace tolvane::sim::test
