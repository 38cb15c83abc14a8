// The DTE sends pages through the modem to a spandsp fax terminal.

#include <gtest/gtest.h>

#include "sim/class2/DleStream.h"
#include "tests/sim/class2/FaxPeer.h"

namespace tolvane::sim::test {
namespace {

using Result = Class2Modem::Result;

// Page data as a DTE sends it: MH rows, first bit in the least significant
// bit, DLE doubled.
std::vector<uint8_t> dtePageData(const Page& page, int width) {
  mh::BitWriter w(false);
  for (const auto& row : page)
    mh::encodeRow(w, row, width);
  mh::encodeRtc(w);
  w.padToByte();
  std::vector<uint8_t> coded = w.take();
  std::vector<uint8_t> out;
  appendDleEscaped(out, coded.data(), coded.size());
  return out;
}

std::vector<uint8_t> withEnd(std::vector<uint8_t> data, uint8_t end) {
  data.push_back(kDle);
  data.push_back(end);
  return data;
}

void expectSamePages(const std::vector<Page>& got, const std::vector<Page>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t p = 0; p < want.size(); ++p) {
    ASSERT_EQ(got[p].size(), want[p].size()) << "page " << p;
    for (size_t y = 0; y < want[p].size(); ++y)
      ASSERT_EQ(got[p][y], want[p][y]) << "page " << p << " row " << y;
  }
}

TEST(Class2Send, TwoPagesReachTheRemoteRowForRow) {
  std::string rxFile = tempFile("rx2.tif");
  FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Receiver, rxFile);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("+FLID=\"SIM SENDER\""), Result::Ok);
  ASSERT_EQ(m.command("+FDIS=1,5,0,2,0,0,0,0"), Result::Ok);
  ASSERT_EQ(m.command("DT5551234"), Result::Pending);
  EXPECT_EQ(bench.dialled(), "5551234");
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n"));
  std::string negotiation = bench.takeOutput();
  EXPECT_NE(negotiation.find("+FCON"), std::string::npos);
  EXPECT_NE(negotiation.find("+FCSI:\"REMOTE 555\""), std::string::npos);
  EXPECT_NE(negotiation.find("+FDIS:1,5,"), std::string::npos) << negotiation;

  std::vector<Page> pages{makeTestPage(1728, 180, 1), makeTestPage(1728, 120, 2)};
  for (size_t p = 0; p < pages.size(); ++p) {
    ASSERT_EQ(m.command("+FDT"), Result::Pending);
    ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 10));
    std::string connect = bench.takeOutput();
    EXPECT_NE(connect.find("+FDCS:1,5,0,"), std::string::npos) << connect;
    EXPECT_EQ(connect.back(), '\x11') << "Class 2 modems send XON when ready for data";
    ASSERT_TRUE(m.inDataMode());
    bench.sendData(withEnd(dtePageData(pages[p], 1728), kEtx));
    EXPECT_FALSE(m.inDataMode());
    EXPECT_EQ(bench.takeOutput().find("OK"), std::string::npos)
        << "the page data is confirmed only once it has gone out";
    ASSERT_TRUE(bench.waitFor("\r\nOK\r\n", 30));
    bench.takeOutput();
    bool last = p + 1 == pages.size();
    ASSERT_EQ(m.command(last ? "+FET=2" : "+FET=0"), Result::Pending);
    ASSERT_TRUE(bench.waitFor("OK\r\n"));
    std::string post = bench.takeOutput();
    EXPECT_NE(post.find("+FPTS:1"), std::string::npos) << post;
    if (last) {
      EXPECT_NE(post.find("+FHNG:0\r\n\r\nOK"), std::string::npos) << post;
    }
  }
  EXPECT_TRUE(bench.hungUp());
  bench.run(3);
  EXPECT_TRUE(bench.remoteDone());
  EXPECT_EQ(bench.remoteCompletion(), 0);
  expectSamePages(readTiff(rxFile), pages);
  std::remove(rxFile.c_str());
}

TEST(Class20Send, PagesEndInBandAndTheCallEndsWithFhs) {
  std::string rxFile = tempFile("rx20.tif");
  FaxBench bench(Class2Dialect::Class20, FaxBench::Remote::Receiver, rxFile);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("+FLI=\"SIM 20\""), Result::Ok);
  ASSERT_EQ(m.command("+FIS=0,3,0,2,0,0,0,0"), Result::Ok);
  ASSERT_EQ(m.command("D42"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n"));
  std::string negotiation = bench.takeOutput();
  EXPECT_NE(negotiation.find("+FCO\r\n"), std::string::npos);
  EXPECT_NE(negotiation.find("+FCI:\"REMOTE 555\""), std::string::npos);
  EXPECT_NE(negotiation.find("+FIS:"), std::string::npos);

  std::vector<Page> pages{makeTestPage(1728, 90, 3), makeTestPage(1728, 60, 4)};
  ASSERT_EQ(m.command("+FDT"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 10));
  EXPECT_NE(bench.takeOutput().find("+FCS:0,3,0,"), std::string::npos);
  bench.sendData(withEnd(dtePageData(pages[0], 1728), ','));
  ASSERT_TRUE(bench.waitFor("OK\r\n"));
  EXPECT_EQ(bench.takeOutput(), "\r\nOK\r\n");
  ASSERT_EQ(m.command("+FDT"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 10));
  bench.takeOutput();
  bench.sendData(withEnd(dtePageData(pages[1], 1728), '.'));
  ASSERT_TRUE(bench.waitFor("OK\r\n"));
  EXPECT_EQ(bench.takeOutput(), "\r\n+FHS:00\r\n\r\nOK\r\n");
  bench.run(3);
  EXPECT_EQ(bench.remoteCompletion(), 0);
  expectSamePages(readTiff(rxFile), pages);
  std::remove(rxFile.c_str());
}

// While the modem waits for its DTE the far end repeats its DIS (every 3 s
// and more) and waits for the next page; the call must still get through.
TEST(Class2Send, SlowDteStillGetsItsPagesThrough) {
  std::string rxFile = tempFile("rxslow.tif");
  FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Receiver, rxFile);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("+FDIS=0,3,0,2,0,0,0,0"), Result::Ok);
  ASSERT_EQ(m.command("D7"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n"));
  std::vector<Page> pages{makeTestPage(1728, 80, 11), makeTestPage(1728, 70, 12)};
  for (size_t p = 0; p < pages.size(); ++p) {
    bench.run(5);
    bench.takeOutput();
    ASSERT_EQ(m.command("+FDT"), Result::Pending);
    ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 10));
    bench.run(1.5);
    bench.sendData(withEnd(dtePageData(pages[p], 1728), kEtx));
    ASSERT_TRUE(bench.waitFor("\r\nOK\r\n", 30));
    bench.run(4);
    bool last = p + 1 == pages.size();
    ASSERT_EQ(m.command(last ? "+FET=2" : "+FET=0"), Result::Pending);
    ASSERT_TRUE(bench.waitFor("+FPTS:1"));
  }
  ASSERT_TRUE(bench.waitFor("+FHNG:0"));
  bench.run(3);
  EXPECT_EQ(bench.remoteCompletion(), 0);
  expectSamePages(readTiff(rxFile), pages);
  std::remove(rxFile.c_str());
}

TEST(Class20Send, PageStatusLineWhenTheModemReportsIt) {
  std::string rxFile = tempFile("rxfps.tif");
  Class2Options options;
  options.reportSentPageStatus = true;
  FaxBench bench(Class2Dialect::Class20, FaxBench::Remote::Receiver, rxFile, options);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("D9"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n"));
  ASSERT_EQ(m.command("+FDT"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 10));
  bench.takeOutput();
  Page page = makeTestPage(1728, 40, 13);
  bench.sendData(withEnd(dtePageData(page, 1728), '.'));
  ASSERT_TRUE(bench.waitFor("OK\r\n"));
  EXPECT_EQ(bench.takeOutput(), "\r\n+FPS:1\r\n\r\n+FHS:00\r\n\r\nOK\r\n");
  std::remove(rxFile.c_str());
}

TEST(Class2Send, LineLostDuringPageDataEndsItWithPhaseCCode) {
  std::string rxFile = tempFile("rxlost.tif");
  FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Receiver, rxFile);
  Class2Modem& m = bench.modem();
  ASSERT_EQ(m.command("D1"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n"));
  ASSERT_EQ(m.command("+FDT"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("CONNECT\r\n", 10));
  std::vector<uint8_t> data = dtePageData(makeTestPage(1728, 300, 14), 1728);
  data.resize(data.size() / 2);
  bench.sendData(data);
  bench.run(1);
  bench.takeOutput();
  m.callEvent(Class2Modem::Event::Hangup);
  // the DTE was held back with XOFF in mid-page: it is let go
  EXPECT_EQ(bench.takeOutput(), "\x11\r\n+FHNG:40\r\n\r\nERROR\r\n");
  EXPECT_FALSE(m.inDataMode());
  EXPECT_TRUE(m.readyForData());
  std::remove(rxFile.c_str());
}

TEST(Class2Send, CallFailuresGiveResultCodes) {
  struct Case {
    Class2Modem::Event event;
    const char* result;
  };
  for (Case c : {Case{Class2Modem::Event::Busy, "\r\nBUSY\r\n"},
                 Case{Class2Modem::Event::NoAnswer, "\r\nNO ANSWER\r\n"},
                 Case{Class2Modem::Event::NoDialtone, "\r\nNO DIALTONE\r\n"}}) {
    FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Silent, "");
    bench.dialOutcome = c.event;
    EXPECT_EQ(bench.modem().command("D1"), Result::Pending);
    EXPECT_EQ(bench.takeOutput(), c.result);
    EXPECT_EQ(bench.modem().command("D1"), Result::Pending) << "the modem is idle again";
  }
}

TEST(Class2Send, AnswerWithoutFaxEndsWithNoAnswerCode) {
  FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Silent, "");
  ASSERT_EQ(bench.modem().command("D1"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("ERROR", 75));
  EXPECT_EQ(bench.takeOutput(), "\r\n+FHNG:11\r\n\r\nERROR\r\n");
  EXPECT_TRUE(bench.hungUp());
}

TEST(Class2Send, DteThatNeverSendsItsPageIsHungUpOn) {
  std::string rxFile = tempFile("rxlate.tif");
  FaxBench bench(Class2Dialect::Class2, FaxBench::Remote::Receiver, rxFile);
  ASSERT_EQ(bench.modem().command("D1"), Result::Pending);
  ASSERT_TRUE(bench.waitFor("\r\nOK\r\n"));
  bench.takeOutput();
  ASSERT_EQ(bench.modem().command("+FDT"), Result::Pending);
  bool ended = bench.waitFor("ERROR", 90);
  std::string out = bench.takeOutput();
  ASSERT_TRUE(ended) << out;
  EXPECT_NE(out.find("+FHNG:43"), std::string::npos) << out;
  EXPECT_TRUE(bench.hungUp());
  std::remove(rxFile.c_str());
}

} // namespace
} // namespace tolvane::sim::test
