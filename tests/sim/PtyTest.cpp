// The simulator's pseudo-terminals driven directly by the test: many calls
// in a row, clients that vanish in mid-call, and the resources left behind.

#include "SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace tolvane::sim::test;

namespace {

int countFds(pid_t pid) {
  int n = 0;
  if (DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
    while (readdir(d))
      ++n;
    closedir(d);
  }
  return n;
}

long rssKb(pid_t pid) {
  std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
  size_t at = status.find("VmRSS:");
  return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

class Port {
public:
  explicit Port(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios t{};
    tcgetattr(m_fd, &t);
    cfmakeraw(&t);
    tcsetattr(m_fd, TCSANOW, &t);
  }
  ~Port() { close(m_fd); }
  bool ok() const { return m_fd >= 0; }
  void send(const std::string& s) {
    ASSERT_EQ(write(m_fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  // Reads until text turns up after what earlier calls matched, or the
  // time is over.
  bool expect(const std::string& text, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      size_t at = m_seen.find(text, m_matched);
      if (at != std::string::npos) {
        m_matched = at + text.size();
        return true;
      }
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) {
        char buf[512];
        ssize_t n = read(m_fd, buf, sizeof buf);
        if (n > 0)
          m_seen.append(buf, static_cast<size_t>(n));
      }
    }
    return false;
  }
  const std::string& seen() const { return m_seen; }

private:
  int m_fd;
  std::string m_seen;
  size_t m_matched = 0;
};

} // namespace

TEST(Pty, HundredCallsInARowLeaveNothingBehind) {
  SimProcess sim({"--speed", "32", "--modem", "com1 model=class1 link=@/com1", "--number",
                  "501 fax dir=@ ring=0.2"});
  int fdsAfterFirst = -1;
  long rssAfterTen = -1;
  for (int call = 1; call <= 100; ++call) {
    Port port(sim.dir() + "/com1");
    ASSERT_TRUE(port.ok());
    port.send("ATE0+FCLASS=1\r");
    ASSERT_TRUE(port.expect("OK", 5)) << "call " << call << ": " << port.seen();
    port.send("ATDT501\r");
    ASSERT_TRUE(port.expect("CONNECT", 10)) << "call " << call << ": " << port.seen();
    ASSERT_TRUE(port.expect("\x10\x03\r\nOK\r\n", 10)) << "end of the first frame, call " << call;
    if (call % 2 == 0) {
      // Every other program hangs up properly; the rest just go away.
      port.send("ATH\r");
      port.send("ATZ\r");
      ASSERT_TRUE(port.expect("OK", 5)) << port.seen();
    }
    std::this_thread::sleep_for(
        std::chrono::milliseconds(50)); // the simulator sees the port closed
    if (call == 1)
      fdsAfterFirst = countFds(sim.pid());
    if (call == 10)
      rssAfterTen = rssKb(sim.pid());
  }
  EXPECT_EQ(countFds(sim.pid()), fdsAfterFirst);
#if !defined(__SANITIZE_ADDRESS__) // its quarantine holds freed memory; its leak check runs at exit instead
  EXPECT_LT(rssKb(sim.pid()) - rssAfterTen, 2048) << "kB grown over 90 calls";
#endif
  std::string log = sim.log();
  size_t ended = 0;
  for (size_t at = 0; (at = log.find("remote 501: call ended", at)) != std::string::npos; ++at)
    ++ended;
  EXPECT_EQ(ended, 100u) << "every remote machine was put away";
  EXPECT_EQ(sim.stop(), 0) << "clean exit (and no leak report under the address sanitizer)";
}

TEST(Pty, EscapeReturnsToCommandModeAndSilenceSaysNothing) {
  SimProcess sim({"--speed", "8", "--modem", "com1 model=class1 link=@/com1", "--modem",
                  "mute model=class1 silent link=@/mute", "--number", "501 fax dir=@ ring=0.2"});
  Port port(sim.dir() + "/com1");
  port.send("ATE0+FCLASS=1\r");
  ASSERT_TRUE(port.expect("OK", 5));
  port.send("ATD501\r");
  ASSERT_TRUE(port.expect("CONNECT", 10)) << port.seen();
  ASSERT_TRUE(port.expect("\x10\x03\r\nOK\r\n", 10)) << "end of the first frame";
  // +FTM: data mode toward the line; +++ with a second of quiet on both
  // sides brings the command mode back.
  port.send("AT+FTM=96\r");
  ASSERT_TRUE(port.expect("CONNECT", 5)) << port.seen();
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // 1.6 s of line time
  port.send("+++");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  port.send("AT\r");
  EXPECT_TRUE(port.expect("\r\nOK\r\n\r\nOK\r\n", 5)) << port.seen();

  Port mute(sim.dir() + "/mute");
  mute.send("ATI3\r");
  EXPECT_FALSE(mute.expect("\n", 1)) << mute.seen();
}
