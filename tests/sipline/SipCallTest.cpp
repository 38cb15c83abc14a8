// Whole fax calls over SIP on loopback: two tolvane-sipmodem processes call
// each other directly, tolvane-fax sends on one and receives on the other,
// and the received page is compared row for row with the one sent. Where
// packets may be captured, tshark checks the calls' SIP, SDP, UDPTL and RTP.

#include "InteropHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace interop;
namespace fs = std::filesystem;

namespace {

constexpr size_t kHeaderBand = 80;

// A port that is free for both UDP and TCP now (sofia listens on both).
int freePort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    int u = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(u, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(u, reinterpret_cast<sockaddr*>(&a), &n);
    int t = socket(AF_INET, SOCK_STREAM, 0);
    bool tcpFree = bind(t, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(t);
    close(u);
    if (tcpFree)
      return ntohs(a.sin_port);
  }
  return 0;
}

bool waitForText(const Child& c, const std::string& text, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (c.log().find(text) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class SipCall : public ::testing::Test {
protected:
  // Two SIP modems that dial each other with no registrar; extra options
  // for each side.
  void startModems(const std::vector<std::string>& callerOptions,
                   const std::vector<std::string>& answererOptions) {
    const std::string unique = fs::path(dir.path()).filename().string();
    com1 = dir / ("sa" + unique);
    com2 = dir / ("sb" + unique);
    sipPorts = {freePort(), freePort()};
    const std::string p1 = "127.0.0.1:" + std::to_string(sipPorts[0]);
    const std::string p2 = "127.0.0.1:" + std::to_string(sipPorts[1]);
    std::vector<std::string> a = {"--listen", p1, "--peer", p2}, b = {"--listen", p2, "--peer", p1};
    a.insert(a.end(), callerOptions.begin(), callerOptions.end());
    b.insert(b.end(), answererOptions.begin(), answererOptions.end());
    caller = startModem(com1, a, "caller.log");
    answerer = startModem(com2, b, "answerer.log");
    ASSERT_TRUE(waitForText(*caller, "ready", 10)) << caller->log();
    ASSERT_TRUE(waitForText(*answerer, "ready", 10)) << answerer->log();
  }

  std::unique_ptr<Child> startModem(const std::string& link, const std::vector<std::string>& opts,
                                    const std::string& log) {
    std::vector<std::string> argv = {TOLVANE_SIPMODEM, "--link", link};
    argv.insert(argv.end(), opts.begin(), opts.end());
    return std::make_unique<Child>(argv, dir / log);
  }

  // A registrar on loopback whose users all have the password "s3cret".
  std::string startRegistrar() {
    const std::string port = std::to_string(freePort());
    std::ifstream in(TOLVANE_SOURCE_DIR "/tests/sipline/kamailio.cfg");
    std::string cfg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (auto [key, value] :
         {std::pair<std::string, std::string>{"@PORT@", port}, {"@PASSWORD@", "s3cret"}})
      for (size_t at = cfg.find(key); at != std::string::npos; at = cfg.find(key, at))
        cfg.replace(at, key.size(), value);
    std::ofstream(dir / "kamailio.cfg") << cfg;
    registrar =
        std::make_unique<Child>(std::vector<std::string>{"kamailio", "-DD", "-E", "-f",
                                                         dir / "kamailio.cfg", "-w", dir.path()},
                                dir / "kamailio.log");
    EXPECT_TRUE(waitForText(*registrar, "SO_RCVBUF is finally", 10)) << registrar->log();
    return "127.0.0.1:" + port;
  }

  std::unique_ptr<Child> registeredModem(const std::string& link, const std::string& registrar,
                                         const std::string& user, const char* password,
                                         const std::string& log) {
    setenv("TOLVANE_SIP_PASSWORD", password, 1);
    auto modem = startModem(link,
                            {"--listen", "127.0.0.1:" + std::to_string(freePort()), "--registrar",
                             registrar, "--user", user},
                            log);
    unsetenv("TOLVANE_SIP_PASSWORD");
    return modem;
  }

  // Captures loopback UDP for tshark, when dumpcap may capture here (it
  // needs the right to); false when it cannot.
  bool startCapture() {
    if (std::system("command -v dumpcap > /dev/null && command -v tshark > /dev/null") != 0)
      return false;
    captureFile = dir / "call.pcapng";
    capture = std::make_unique<Child>(
        std::vector<std::string>{"dumpcap", "-q", "-i", "lo", "-f", "udp", "-w", captureFile},
        dir / "dumpcap.log");
    for (int i = 0; i < 100 && !fs::exists(captureFile); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!fs::exists(captureFile)) {
      std::cout << "no capture: " << capture->log() << "\n";
      capture.reset();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return true;
  }

  // Packets of the capture that tshark shows for a display filter, with the
  // modems' SIP ports decoded as SIP.
  int tsharkCount(const std::string& filter) {
    std::string command = "tshark -r '" + captureFile + "'";
    for (int port : sipPorts)
      command += " -d udp.port==" + std::to_string(port) + ",sip";
    command += " -Y '" + filter + "' 2>/dev/null | wc -l";
    FILE* p = popen(command.c_str(), "r");
    int n = -1;
    if (p && std::fscanf(p, "%d", &n) != 1)
      n = -1;
    if (p)
      pclose(p);
    return n;
  }

  // tshark, an independent decoder, finds nothing wrong in the call.
  void expectCleanCapture() {
    capture->terminate();
    EXPECT_EQ(tsharkCount("_ws.malformed || _ws.expert.severity >= error"), 0);
    EXPECT_GE(tsharkCount("sip.Method == \"INVITE\""), 2) << "the call and its re-INVITE";
    EXPECT_GE(tsharkCount("sdp.media.media == \"image\""), 1) << "a T.38 offer";
  }

  std::string makeDocument(bool fine) {
    std::ofstream text(dir / "doc.txt");
    for (int line = 1; line <= 10; ++line)
      text << "Line " << line << " of a letter over SIP: 0123456789 ABCDEFGHIJ\n";
    text.close();
    const std::string apf = dir / "doc.apf";
    const std::string command = tolvaneFaxPath() + " convert '" + (dir / "doc.txt") + "' '" + apf +
                                "'" + (fine ? " --fine" : "") + " > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return apf;
  }

  // Sends a one-page letter from the caller's modem to the answerer's and
  // checks the page that arrives.
  void faxOnePage(bool fine) {
    const std::string doc = makeDocument(fine);
    fs::create_directory(dir / "in");
    Child receiver({tolvaneFaxPath(), "receive", com2, dir / "in", "--one", "--rings", "1",
                    "--class", "1", "--timeout", "90"},
                   dir / "receive.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const auto start = std::chrono::steady_clock::now();
    Child sender({tolvaneFaxPath(), "send", com1, "502", doc, "--class", "1", "--attempts", "1",
                  "--timeout", "90"},
                 dir / "send.log");
    const int sent = sender.wait(120);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(sent, 0) << sender.log() << caller->log() << answerer->log();
    EXPECT_EQ(receiver.wait(20), 0) << receiver.log();
    ASSERT_TRUE(fs::exists(dir / "in/FAX0001.APF")) << receiver.log();
    const auto sentPages = exportApf(doc, scratch);
    const auto gotPages = exportApf(dir / "in/FAX0001.APF", scratch);
    ASSERT_EQ(gotPages.size(), 1u);
    ASSERT_EQ(sentPages.size(), 1u);
    EXPECT_EQ(compareRows(sentPages[0], gotPages[0], kHeaderBand), "");
    RecordProperty("call_seconds", std::to_string(seconds));
    std::cout << "one-page call: " << seconds << " s\n";
  }

  TempDir dir;
  TempDir scratch;
  std::string com1, com2;
  std::unique_ptr<Child> registrar, caller, answerer, capture;
  std::vector<int> sipPorts;
  std::string captureFile;
};

} // namespace

// The answering modem moves the call to T.38 before its CED; the caller
// follows the re-INVITE. A fine-resolution page crosses as T.38.
TEST_F(SipCall, FinePageOverT38) {
  startModems({}, {});
  const bool captured = startCapture();
  faxOnePage(true);
  if (captured) {
    expectCleanCapture();
    EXPECT_GE(tsharkCount("sdp.media.media == \"image\""), 2) << "offer and answer";
    EXPECT_GT(tsharkCount("t38"), 100) << "UDPTL packets of the page";
  }
  EXPECT_NE(answerer->log().find("media: T.38"), std::string::npos) << answerer->log();
  EXPECT_NE(caller->log().find("far end moves the call to T.38"), std::string::npos)
      << caller->log();
}

// An answering end without T.38 stays on audio; the caller hears CED,
// offers T.38, is refused with 488 and sends the page as G.711 audio.
TEST_F(SipCall, StandardPageOverG711AfterT38IsRefused) {
  startModems({"--pcmu"}, {"--no-t38"});
  const bool captured = startCapture();
  faxOnePage(false);
  if (captured) {
    expectCleanCapture();
    EXPECT_EQ(tsharkCount("sip.Status-Code == 488"), 1);
    EXPECT_GT(tsharkCount("rtp.p_type == 0"), 500) << "mu-law audio of the page";
    EXPECT_EQ(tsharkCount("t38"), 0);
  }
  EXPECT_NE(caller->log().find("fax tones heard: offering T.38"), std::string::npos)
      << caller->log();
  EXPECT_NE(caller->log().find("T.38 refused (488): staying on G.711"), std::string::npos)
      << caller->log();
  EXPECT_EQ(caller->log().find("media: T.38"), std::string::npos) << caller->log();
}

// Both modems register with kamailio using digest authentication and the
// call is routed through it; a third modem with a wrong password is told
// so in plain words and keeps running.
TEST_F(SipCall, RegisteredModemsCallThroughTheRegistrar) {
  if (std::system("command -v kamailio > /dev/null") != 0)
    GTEST_SKIP() << "kamailio is not installed";
  const std::string at = startRegistrar();
  const std::string unique = fs::path(dir.path()).filename().string();
  com1 = dir / ("sa" + unique);
  com2 = dir / ("sb" + unique);
  caller = registeredModem(com1, at, "601", "s3cret", "caller.log");
  answerer = registeredModem(com2, at, "502", "s3cret", "answerer.log");
  auto intruder = registeredModem(dir / ("sc" + unique), at, "603", "guess", "intruder.log");
  ASSERT_TRUE(waitForText(*caller, "registered with " + at, 10)) << caller->log();
  ASSERT_TRUE(waitForText(*answerer, "registered with " + at, 10)) << answerer->log();
  ASSERT_TRUE(waitForText(*intruder, "SIP registration refused: 403 Forbidden", 10))
      << intruder->log() << registrar->log();
  faxOnePage(false);
  EXPECT_NE(caller->log().find("dialling sip:502@" + at), std::string::npos) << caller->log();
  EXPECT_NE(answerer->log().find("incoming call from 601"), std::string::npos) << answerer->log();
  EXPECT_EQ(intruder->wait(0), -1) << "still running after the refusal: " << intruder->log();
}
