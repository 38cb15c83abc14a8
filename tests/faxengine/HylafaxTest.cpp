// Tolvane against HylaFAX, an independent Class 1 implementation: two
// simulated modems on one phone line, HylaFAX's faxgetty on one (with faxq
// and hfaxd to send through it), tolvane-fax on the other. Both sides offer
// error correction and MMR and must agree on them; pages compared row by
// row after decoding. HylaFAX runs as the uucp user and names its modem
// after a device under /dev, so the test needs root; without root or
// without hylafax-server it is skipped with the reason.

#include "InteropHarness.h"
#include "tests/support/LoopbackPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace interop;
namespace fs = std::filesystem;

namespace {

constexpr size_t kHeaderBand = 80; // rows a sender may fill with its tag line

bool waitFor(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

// A TCP port nobody listens on now, for hfaxd.
// The modem's link under /dev and HylaFAX's lock file for it, removed
// after the programs using them have ended.
struct DeviceLink {
  std::string name;
  ~DeviceLink() {
    if (name.empty())
      return;
    std::error_code ec;
    fs::remove("/dev/" + name, ec);
    fs::remove("/var/lock/LCK.." + name, ec);
  }
};

// Every text file of the folder, one after another.
std::string allLogs(const std::string& dir) {
  std::string all;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    all += readFile(e.path());
  return all;
}

class HylaFax : public ::testing::Test {
protected:
  void SetUp() override {
    if (geteuid() != 0)
      GTEST_SKIP() << "HylaFAX runs its modem as the uucp user on a device under /dev: needs root";
    if (!fs::exists("/usr/sbin/faxgetty") || !fs::exists("/etc/hylafax/setup.cache"))
      GTEST_SKIP() << "hylafax-server is not installed";
    const std::string unique = fs::path(dir.path()).filename().string().substr(16);
    link.name = "ttyTV" + unique;
    com1 = dir / ("a" + unique);
    makeSpool();
    sim = std::make_unique<Simulator>(
        dir,
        std::vector<std::string>{"--modem", "com1 model=class1 number=777 link=" + com1, "--modem",
                                 "com2 model=class1 number=502 link=/dev/" + link.name});
    ASSERT_TRUE(sim->started()) << sim->log();
    // The queue first: faxgetty tells it of the modem when it starts. It
    // stays in the foreground (-D), so that it ends with the test.
    queue = std::make_unique<Child>(std::vector<std::string>{"/usr/sbin/faxq", "-D", "-q", spool},
                                    dir / "faxq.log");
    ASSERT_TRUE(waitFor([&] { return fs::exists(spool + "/FIFO"); }, 30));
    getty = std::make_unique<Child>(
        std::vector<std::string>{"/usr/sbin/faxgetty", "-q", spool, link.name}, dir / "getty.log");
    // faxgetty has set up the modem and waits for calls.
    ASSERT_TRUE(waitFor(
        [&] { return readFile(spool + "/status/" + link.name).find("Running and idle") == 0; }, 90))
        << readFile(spool + "/status/" + link.name) << sim->log();
  }

  // HylaFAX's spool folder: the modem's configuration (Class 1 with error
  // correction), the server's, and the folders it writes to, all the uucp
  // user's.
  void makeSpool() {
    spool = dir / "spool";
    for (const char* sub : {"etc", "recvq", "log", "status", "tmp", "sendq", "doneq", "docq",
                            "info", "pollq", "archive", "client", "dev", "config"})
      fs::create_directories(spool + "/" + sub);
    // The scripts faxq runs (document conversion, notices).
    fs::copy("/var/spool/hylafax/bin", spool + "/bin", fs::copy_options::recursive);
    fs::copy("/etc/hylafax/setup.cache", spool + "/etc/setup.cache");
    fs::copy("/etc/hylafax/dialrules", spool + "/etc/dialrules");
    std::ofstream(spool + "/etc/config") << "CountryCode: 1\nAreaCode: 555\nLongDistancePrefix: 1\n"
                                            "InternationalPrefix: 011\nDialStringRules: "
                                            "etc/dialrules\n";
    std::ofstream(spool + "/etc/hosts.hfaxd") << "127.0.0.1\nlocalhost\n";
    // hfaxd asks for a password unless only its user may read the file.
    fs::permissions(spool + "/etc/hosts.hfaxd", fs::perms::owner_read | fs::perms::owner_write);
    std::ofstream(spool + "/etc/config." + link.name)
        << "CountryCode: 1\nAreaCode: 555\nFAXNumber: 502\nLongDistancePrefix: 1\n"
           "InternationalPrefix: 011\nDialStringRules: etc/dialrules\n"
           "SessionTracing: 0x4F\nRecvFileMode: 0644\nLogFileMode: 0644\nDeviceMode: 0666\n"
           "RingsBeforeAnswer: 1\nLocalIdentifier: \"HYLAFAX\"\n"
           "ModemType: Class1\nModemRate: 19200\nModemFlowControl: rtscts\n"
           "Class1Cmd: AT+FCLASS=1\nClass1ECMSupport: yes\n"
           "Class1PPMWaitCmd: AT+FTS=7\nClass1TCFWaitCmd: AT+FTS=7\nClass1EOPWaitCmd: AT+FTS=9\n"
           "Class1SwitchingCmd: AT+FRS=7\nClass1RecvAbortOK: 200\nClass1FrameOverhead: 4\n"
           "Class1RecvIdentTimer: 40000\nClass1TCFMaxNonZero: 10\nClass1TCFMinRun: 1000\n";
    const passwd* uucp = getpwnam("uucp");
    ASSERT_NE(uucp, nullptr);
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      ASSERT_EQ(lchown(e.path().c_str(), uucp->pw_uid, uucp->pw_gid), 0) << e.path();
    ASSERT_EQ(chown(dir.path().c_str(), uucp->pw_uid, uucp->pw_gid), 0);
  }

  TempDir dir;
  TempDir scratch;
  DeviceLink link; // goes after the programs below
  std::string com1, spool;
  std::unique_ptr<Simulator> sim;
  std::unique_ptr<Child> queue, getty, server;
};

TEST_F(HylaFax, TolvaneSendsHylafaxReceivesInMmrWithErrorCorrection) {
  std::ofstream(dir / "doc.txt") << "A letter to HylaFAX, line one\nLine two: 0123456789\n";
  const std::string doc = dir / "doc.apf";
  ASSERT_EQ(std::system((tolvaneFaxPath() + " convert '" + (dir / "doc.txt") + "' '" + doc +
                         "' > /dev/null")
                            .c_str()),
            0);
  Child sender({tolvaneFaxPath(), "send", com1, "502", doc, "--class", "1", "--attempts", "1",
                "--station", "TOLVANE", "--timeout", "150"},
               dir / "send.log");
  ASSERT_EQ(sender.wait(170), 0) << sender.log() << sim->log();
  EXPECT_NE(sender.log().find("Line: 14400 bit/s, MMR, error correction on"), std::string::npos)
      << sender.log();
  std::string tif;
  ASSERT_TRUE(waitFor(
      [&] {
        for (const auto& e : fs::directory_iterator(spool + "/recvq"))
          if (e.path().extension() == ".tif")
            tif = e.path();
        return !tif.empty() && allLogs(spool + "/log").find("RECV FAX: end") != std::string::npos;
      },
      30))
      << allLogs(spool + "/log");
  const std::string log = allLogs(spool + "/log");
  EXPECT_NE(log.find("REMOTE wants 2-D MMR"), std::string::npos) << log;
  EXPECT_NE(log.find("REMOTE wants T.30 Annex A, 256-byte ECM"), std::string::npos) << log;
  const auto sent = exportApf(doc, scratch);
  const auto got = tiffPages(tif);
  ASSERT_EQ(got.size(), sent.size());
  EXPECT_EQ(compareRows(sent[0], got[0], kHeaderBand), "");
}

TEST_F(HylaFax, HylafaxSendsTolvaneReceivesInMmrWithErrorCorrection) {
  const int port = testsupport::freeLoopbackPort();
  server = std::make_unique<Child>(
      std::vector<std::string>{"/usr/sbin/hfaxd", "-q", spool, "-d", "-i", std::to_string(port)},
      dir / "hfaxd.log");
  fs::create_directory(dir / "in");
  Child receiver({tolvaneFaxPath(), "receive", com1, dir / "in", "--one", "--class", "1",
                  "--station", "TOLVANE", "--timeout", "150"},
                 dir / "receive.log");
  const Page page = makePage(3, 300);
  writeTiffPage(dir / "page.tif", page);
  // hfaxd takes the job once it listens.
  int rc = -1;
  for (int i = 0; i < 50 && rc != 0; ++i) {
    Child client(
        {"sendfax", "-h", "localhost:" + std::to_string(port), "-n", "-d", "777", dir / "page.tif"},
        dir / "sendfax.log");
    rc = client.wait(30);
    if (rc != 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_EQ(rc, 0) << readFile(dir / "sendfax.log");
  ASSERT_EQ(receiver.wait(170), 0) << receiver.log() << sim->log() << allLogs(spool + "/log");
  EXPECT_NE(receiver.log().find("Line: 14400 bit/s, MMR, error correction on"), std::string::npos)
      << receiver.log();
  const std::string log = allLogs(spool + "/log");
  EXPECT_NE(log.find("USE 2-D MMR"), std::string::npos) << log;
  EXPECT_NE(log.find("USE error correction mode"), std::string::npos) << log;
  const auto got = exportApf(dir / "in/FAX0001.APF", scratch);
  ASSERT_EQ(got.size(), 1u);
  // HylaFAX puts its tag line in the band on top.
  EXPECT_EQ(compareRows(page, got[0], kHeaderBand), "");
}

} // namespace
