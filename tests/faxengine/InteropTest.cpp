// Tolvane against efax, an independent fax program, and against itself:
// two simulated modems on one phone line, each side a real process on its
// own pseudo-terminal, pages compared row by row after decoding.

#include "InteropHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace interop;
namespace fs = std::filesystem;

namespace {

struct FaxClass {
  const char* tolvane; // --class of tolvane-fax
  const char* efax;    // -o of efax
  int efaxSpeed;       // line speed factor that efax keeps up with in this class
  const char* coding;  // what two Tolvanes agree on in this class
};

// efax keeps up with 2x in Classes 2 and 2.0, where it paces page data by
// whole seconds, and with 4x in Class 1 against another modem.
const FaxClass kClasses[] = {{"1", "1", 4, "MMR, error correction on"},
                             {"2", "2", 2, "MMR, error correction on"},
                             {"2.0", "0", 2, "MMR, error correction on"}};

// The rows above the page that a sender may fill with its header line.
constexpr size_t kHeaderBand = 80;

void pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void PrintTo(const FaxClass& c, std::ostream* os) {
  *os << "Class " << c.tolvane;
}

class Interop : public ::testing::TestWithParam<FaxClass> {
protected:
  // Device lock files are named after the last part of the device path, so
  // the links get names no other test uses at the same time.
  void startLine(int speed) {
    const std::string unique = fs::path(dir.path()).filename().string();
    com1 = dir / ("a" + unique);
    com2 = dir / ("b" + unique);
    sim = std::make_unique<Simulator>(
        dir, std::vector<std::string>{"--speed", std::to_string(speed), "--modem",
                                      "com1 model=class120 link=" + com1, "--modem",
                                      "com2 model=class120 number=502 link=" + com2});
    ASSERT_TRUE(sim->started()) << sim->log();
  }

  // A two-page APF document converted from text by tolvane-fax.
  std::string makeDocument() {
    std::ofstream text(dir / "doc.txt");
    for (int line = 1; line <= 24; ++line)
      text << "Line " << line << " of the interop letter: 0123456789 ABCDEFGHIJ\n";
    text.close();
    const std::string apf = dir / "doc.apf";
    const std::string command = tolvaneFaxPath() + " convert '" + (dir / "doc.txt") + "' '" + apf +
                                "' --lines-per-page 12 > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return apf;
  }

  std::unique_ptr<Child> tolvane(const std::string& verb, const std::string& device,
                                 const std::vector<std::string>& rest) {
    std::vector<std::string> argv = {
        tolvaneFaxPath(), verb,      device,      "--class", GetParam().tolvane,
        "--station",      "TOLVANE", "--timeout", "150"};
    argv.insert(argv.begin() + 3, rest.begin(), rest.end());
    return std::make_unique<Child>(argv, dir / (verb + ".log"));
  }

  std::unique_ptr<Child> efax(const std::vector<std::string>& rest, const std::string& log) {
    std::vector<std::string> argv = {
        "efax", "-o" + std::string(GetParam().efax), "-l", "EFAX", "-v", "ewinm"};
    argv.insert(argv.end(), rest.begin(), rest.end());
    return std::make_unique<Child>(argv, dir / log);
  }

  void expectPages(const std::vector<Page>& sent, const std::vector<Page>& received, size_t band) {
    ASSERT_EQ(received.size(), sent.size());
    for (size_t p = 0; p < sent.size(); ++p)
      EXPECT_EQ(compareRows(sent[p], received[p], band), "") << "page " << p + 1;
  }

  TempDir dir;
  TempDir scratch;
  std::string com1, com2;
  std::unique_ptr<Simulator> sim;
};

TEST_P(Interop, TolvaneSendsEfaxReceives) {
  startLine(GetParam().efaxSpeed);
  const std::string doc = makeDocument();
  auto receiver = efax({"-d", com2, "-w", "-iS0=1", "-r", dir / "got"}, "efax.log");
  pause(1500); // efax has set up the modem and waits for RING
  auto sender = tolvane("send", com1, {"502", doc, "--attempts", "1"});
  const int sent = sender->wait(200);
  EXPECT_EQ(sent, 0) << sender->log() << sim->log();
  EXPECT_EQ(receiver->wait(30), 0) << receiver->log();
  std::vector<Page> got;
  // efax writes one TIFF file per received page: got.001, got.002 ...
  for (int n = 1; fs::exists(dir / ("got.00" + std::to_string(n))); ++n) {
    const auto pages = tiffPages(dir / ("got.00" + std::to_string(n)));
    got.push_back(pages.empty() ? Page() : pages.front());
  }
  expectPages(exportApf(doc, scratch), got, kHeaderBand);
}

TEST_P(Interop, EfaxSendsTolvaneReceives) {
  startLine(GetParam().efaxSpeed);
  const std::vector<Page> pages = {makePage(1), makePage(2)};
  writeTiffPage(dir / "p1.tif", pages[0]);
  writeTiffPage(dir / "p2.tif", pages[1]);
  fs::create_directory(dir / "in");
  auto receiver = tolvane("receive", com2, {dir / "in", "--one", "--rings", "1"});
  pause(1500);
  auto sender =
      efax({"-d", com1, "-h", "", "-t", "502", dir / "p1.tif", dir / "p2.tif"}, "efax.log");
  const int sent = sender->wait(200);
  const int received = receiver->wait(30);
  EXPECT_EQ(sent, 0) << sender->log();
  EXPECT_EQ(received, 0) << receiver->log() << sim->log();
  ASSERT_TRUE(fs::exists(dir / "in/FAX0001.APF")) << receiver->log();
  // efax puts a few blank rows and its (here empty) header band on top.
  expectPages(pages, exportApf(dir / "in/FAX0001.APF", scratch), 0);
}

TEST_P(Interop, TolvaneSendsTolvaneReceives) {
  startLine(4);
  const std::string doc = makeDocument();
  fs::create_directory(dir / "in");
  auto receiver = tolvane("receive", com2, {dir / "in", "--one", "--rings", "1"});
  pause(1000);
  auto sender = tolvane("send", com1, {"502", doc, "--attempts", "1"});
  const int sent = sender->wait(200);
  EXPECT_EQ(sent, 0) << sender->log() << sim->log();
  EXPECT_EQ(receiver->wait(30), 0) << receiver->log();
  // Both ends use the shortest coding and error correction they share.
  EXPECT_NE(sender->log().find(GetParam().coding), std::string::npos) << sender->log();
  EXPECT_NE(receiver->log().find(GetParam().coding), std::string::npos) << receiver->log();
  ASSERT_TRUE(fs::exists(dir / "in/FAX0001.APF")) << receiver->log();
  expectPages(exportApf(doc, scratch), exportApf(dir / "in/FAX0001.APF", scratch), kHeaderBand);
}

INSTANTIATE_TEST_SUITE_P(Classes, Interop, ::testing::ValuesIn(kClasses), [](const auto& info) {
  const std::string c = info.param.tolvane;
  return c == "1" ? "Class1" : c == "2" ? "Class2" : "Class2_0";
});

} // namespace

namespace {

bool waitForLog(const Child& child, const std::string& text, int seconds, int count = 1) {
  for (int i = 0; i < seconds * 10; ++i) {
    const std::string log = child.log();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++n;
    if (n >= count)
      return true;
    pause(100);
  }
  return false;
}

// A receive job that takes every call (no --one) whose modem vanishes in
// mid-page (the simulator killed, its pseudo-terminal gone as an unplugged
// USB modem's port goes): the page so far is kept, the job says the modem
// has gone and waits for it without spinning, and answers calls again once
// a modem is back on the same device name.
TEST(ReceiveJob, WaitsForAVanishedModemWithoutSpinning) {
  TempDir dir;
  const std::string link = dir / ("g" + fs::path(dir.path()).filename().string());
  writeTiffPages(dir / "in.tif", {makePage(1, 1600), makePage(2, 1600)});
  const std::vector<std::string> simArgs = {
      "--speed",  "4",
      "--modem",  "com1 model=class120 link=" + link,
      "--number", "777 fax ident=CALLER file=" + (dir / "in.tif"),
      "--call",   "777 com1 at=12"};
  auto sim = std::make_unique<Simulator>(dir, simArgs);
  ASSERT_TRUE(sim->started()) << sim->log();
  fs::create_directory(dir / "in");
  Child job({tolvaneFaxPath(), "receive", link, dir / "in", "--class", "2", "--timeout", "240"},
            dir / "job.log");
  ASSERT_TRUE(waitForLog(job, "Receiving ", 90)) << job.log() << sim->log();
  pause(2000);
  sim->kill();
  ASSERT_TRUE(waitForLog(job, "Waiting for the modem", 30)) << job.log();
  EXPECT_NE(job.log().find("has gone"), std::string::npos) << job.log();
  EXPECT_EQ(job.wait(0), -1) << "the job ended: " << job.log();
  const double before = job.cpuSeconds();
  pause(4000);
  const double spent = job.cpuSeconds() - before;
  EXPECT_LT(spent, 1.0) << "waiting took " << spent << " s of processor time in 4 s";
  EXPECT_TRUE(fs::exists(dir / "in/FAX0001.APF")) << job.log();

  sim = std::make_unique<Simulator>(dir, simArgs);
  ASSERT_TRUE(sim->started()) << sim->log();
  EXPECT_TRUE(waitForLog(job, "is back", 30)) << job.log();
  EXPECT_TRUE(waitForLog(job, "Receiving ", 90, 2)) << job.log() << sim->log();
  job.terminate();
}

} // namespace
