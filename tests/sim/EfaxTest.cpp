// efax, an independent fax program, against the simulator over real
// pseudo-terminals. Line time runs faster than the wall clock (--speed) in
// all but one test.

#include "SimProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

using namespace tolvane::sim::test;

namespace {

const std::string kPage = std::string(TOLVANE_TEST_DATA) + "/sim/text-page.tif";
const std::string kPage2 = std::string(TOLVANE_TEST_DATA) + "/sim/text-page2.tif";
// The same two pages in one file, for the remote machine to send.
const std::string kTwoPages = std::string(TOLVANE_TEST_DATA) + "/sim/two-pages.tif";

std::string sendArgs(const SimProcess& sim, const std::string& cls, const std::string& number,
                     const std::string& file) {
  return "-d " + sim.dir() + "/com1 -o" + cls + " -v ewinm -l SIMTEST -h '' -t " + number + " '" +
         file + "'";
}

std::string receiveArgs(const SimProcess& sim, const std::string& cls,
                        const std::string& device = "com1") {
  return "-d " + sim.dir() + "/" + device + " -o" + cls + " -v ewinm -l SIMTEST -w -iS0=1 -r " +
         sim.dir() + "/got";
}

void expectSameRows(const std::string& sent, const std::string& received, int page = 0,
                    int receivedPage = 0) {
  auto a = inkedRows(sent, page);
  auto b = inkedRows(received, receivedPage);
  ASSERT_GT(a.size(), 100u) << sent;
  ASSERT_EQ(a.size(), b.size()) << received;
  for (size_t i = 0; i < a.size(); ++i)
    ASSERT_EQ(a[i], b[i]) << "row " << i << " of " << received;
}

// Sends one or two pages to a remote fax machine, then lets one call in
// and receives as many, all compared row by row with what was sent.
void sendAndReceive(const std::string& cls, const std::string& model, const std::string& speed,
                    int pages = 1) {
  // efax takes a file per page (it reads a multi-page file at the wrong
  // vertical resolution); the remote machine sends one file.
  const std::string& remoteFile = pages == 1 ? kPage : kTwoPages;
  SimProcess sim({"--speed", speed, "--modem", "com1 model=" + model + " link=@/com1", "--number",
                  "501 fax ident=REMOTE dir=@", "--number",
                  "606 fax ident=CALLER file=" + remoteFile, "--control", "@/ctl"});
  std::string files = pages == 1 ? kPage : kPage + "' '" + kPage2;
  EfaxRun send = runEfax(sendArgs(sim, cls, "501", files), 180, sim.dir() + "/send.log");
  EXPECT_EQ(send.status, 0) << send.log;
  EXPECT_NE(send.log.find("REMOTE"), std::string::npos) << "remote station ID reported";
  ASSERT_TRUE(sim.waitForLog("remote 501: call ended: OK", 10)) << sim.log();
  for (int p = 0; p < pages; ++p)
    expectSameRows(p == 0 ? kPage : kPage2, sim.dir() + "/501-1.tif", 0, p);

  std::thread caller([&] {
    std::this_thread::sleep_for(std::chrono::seconds(2)); // efax is waiting for RING by then
    sim.control("call 606 com1");
  });
  EfaxRun receive = runEfax(receiveArgs(sim, cls), 180, sim.dir() + "/receive.log");
  caller.join();
  EXPECT_EQ(receive.status, 0) << receive.log;
  EXPECT_NE(receive.log.find("CALLER"), std::string::npos) << receive.log;
  for (int p = 0; p < pages; ++p)
    expectSameRows(remoteFile, sim.dir() + "/got.00" + std::to_string(p + 1), p);
  EXPECT_EQ(sim.stop(), 0) << sim.log();
}

} // namespace

TEST(Efax, ClassOneSendsAndReceives) {
  sendAndReceive("1", "class1", "8");
}

// efax divides by the whole seconds a page took and dies when that is
// zero, which a Class 2 modem pacing pages like a real one reaches above 2x.
TEST(Efax, ClassTwoSendsAndReceives) {
  sendAndReceive("2", "class12", "2");
}

TEST(Efax, ClassTwoPointZeroSendsAndReceivesTwoPages) {
  sendAndReceive("0", "class120", "2", 2);
}

TEST(Efax, TwoProgramsFaxEachOtherThroughTwoModems) {
  SimProcess sim({"--speed", "4", "--modem", "com1 model=class1 link=@/com1", "--modem",
                  "com2 model=class1 number=102 link=@/com2"});
  EfaxRun receive;
  std::thread receiver(
      [&] { receive = runEfax(receiveArgs(sim, "1", "com2"), 120, sim.dir() + "/receive.log"); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EfaxRun send = runEfax(sendArgs(sim, "1", "102", kPage), 120, sim.dir() + "/send.log");
  receiver.join();
  EXPECT_EQ(send.status, 0) << send.log;
  EXPECT_EQ(receive.status, 0) << receive.log;
  expectSameRows(kPage, sim.dir() + "/got.001");
}

TEST(Efax, CallProgressAsAModemReportsIt) {
  SimProcess sim({"--speed", "8", "--modem", "com1 model=class12 link=@/com1", "--number",
                  "602 busy", "--number", "603 no-answer ring=20", "--number", "604 no-dialtone",
                  "--number", "605 voice"});
  struct Case {
    std::string number, word;
  } cases[] = {
      {"602", "BUSY"}, {"603", "NO ANSWER"}, {"604", "NO DIALTONE"}, {"605", "NO CARRIER"}};
  for (auto& c : cases) {
    EfaxRun r =
        runEfax(sendArgs(sim, "1", c.number, kPage), 60, sim.dir() + "/" + c.number + ".log");
    EXPECT_NE(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("<CR><LF>" + c.word + "<CR><LF>"), std::string::npos) << c.number << ":\n"
                                                                               << r.log;
  }
  EXPECT_NE(sim.log().find("call to 605 answered"), std::string::npos) << "the voice answered";
  // The same network seen through the Class 2 engine.
  EfaxRun busy2 = runEfax(sendArgs(sim, "2", "602", kPage), 60, sim.dir() + "/602-class2.log");
  EXPECT_NE(busy2.status, 0) << busy2.log;
  EXPECT_NE(busy2.log.find("<CR><LF>BUSY<CR><LF>"), std::string::npos) << busy2.log;
}

TEST(Efax, RemoteRejectsFailsTrainingAndDisconnects) {
  SimProcess sim({"--speed", "8", "--modem", "com1 model=class1 link=@/com1", "--number",
                  "501 fax dir=@ rtn=1 ident=A\\xe9;\\x01Z", "--number", "502 fax dir=@ ftt=14400",
                  "--number", "503 fax dir=@ dcn=DCS"});
  EfaxRun rtn = runEfax(sendArgs(sim, "1", "501", kTwoPages), 120, sim.dir() + "/rtn.log");
  EXPECT_NE(rtn.log.find("received RTN"), std::string::npos) << rtn.log;
  EXPECT_NE(rtn.log.find("A\xe9;\x01Z"), std::string::npos) << "station ID of any bytes";
  EXPECT_EQ(rtn.status, 0) << "efax sends the page again";
  EfaxRun ftt = runEfax(sendArgs(sim, "1", "502", kPage), 120, sim.dir() + "/ftt.log");
  EXPECT_NE(ftt.log.find("received FTT"), std::string::npos) << ftt.log;
  EXPECT_EQ(ftt.status, 0) << "efax falls back to a slower speed";
  ASSERT_TRUE(sim.waitForLog("remote 502: call ended: OK (0), pages 1, rate 12000", 5))
      << sim.log();
  EfaxRun dcn = runEfax(sendArgs(sim, "1", "503", kPage), 120, sim.dir() + "/dcn.log");
  EXPECT_NE(dcn.log.find("received DCN"), std::string::npos) << dcn.log;
  EXPECT_NE(dcn.status, 0);
  EXPECT_EQ(sim.stop(), 0) << sim.log();
}

TEST(Efax, CarrierLostInMidPage) {
  SimProcess sim({"--speed", "8", "--modem", "com1 model=class1 link=@/com1", "--number",
                  "606 fax file=" + kTwoPages + " drop=2", "--control", "@/ctl"});
  std::thread caller([&] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    sim.control("call 606 com1");
  });
  EfaxRun r = runEfax(receiveArgs(sim, "1"), 60, sim.dir() + "/receive.log");
  caller.join();
  EXPECT_NE(r.status, 0) << r.log;
  EXPECT_TRUE(sim.waitForLog("dropping the line in mid-page", 1)) << sim.log();
  EXPECT_FALSE(std::filesystem::exists(sim.dir() + "/got.002")) << "no second page";
  EXPECT_EQ(sim.stop(), 0) << sim.log();
}

TEST(Efax, SimulatorOutlivesAProgramKilledInMidCall) {
  SimProcess sim(
      {"--speed", "8", "--modem", "com1 model=class1 link=@/com1", "--number", "501 fax dir=@"});
  // Killed while the first page is on the line.
  runEfax(sendArgs(sim, "1", "501", kTwoPages), 4, sim.dir() + "/killed.log");
  ASSERT_TRUE(sim.running());
  EfaxRun again = runEfax(sendArgs(sim, "1", "501", kPage), 120, sim.dir() + "/again.log");
  EXPECT_EQ(again.status, 0) << again.log;
  expectSameRows(kPage, sim.dir() + "/501-2.tif");
  EXPECT_EQ(sim.stop(), 0) << "clean exit on SIGTERM";
}

TEST(Efax, OnePageAtRealTime) {
  SimProcess sim({"--modem", "com1 model=class1 link=@/com1", "--number", "501 fax dir=@"});
  EfaxRun send = runEfax(sendArgs(sim, "1", "501", kPage), 180, sim.dir() + "/send.log");
  EXPECT_EQ(send.status, 0) << send.log;
  expectSameRows(kPage, sim.dir() + "/501-1.tif");
}
