// Bytes through a real pseudo-terminal: bulk transfer in both directions,
// WaitForText, and the trace and log files written on close.

#include "tests/serial/PortTestSupport.h"

#include "serial/TextMatcher.h"

#include <fstream>
#include <sstream>

using testsupport::eventually;

namespace {

uint8_t patternByte(size_t i) {
  return static_cast<uint8_t>(i * 7 + i / 251);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ComPortIo : public testsupport::PortTest {};

TEST_F(ComPortIo, TenMegabytesEachWayAtOnceArriveInOrder) {
  constexpr size_t kTotal = 10u << 20;
  port.SetOpen(true);
  std::atomic<size_t> farReceived{0};
  std::atomic<bool> farOk{true};
  std::thread farWriter([&] {
    std::vector<uint8_t> buf(65536);
    for (size_t sent = 0; sent < kTotal;) {
      size_t n = std::min(buf.size(), kTotal - sent);
      for (size_t i = 0; i < n; ++i)
        buf[i] = patternByte(sent + i);
      pty.writeAll(buf.data(), n);
      sent += n;
    }
  });
  std::thread farReader([&] {
    uint8_t buf[65536];
    while (farReceived < kTotal) {
      pollfd p{pty.master(), POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0)
        break;
      ssize_t n = ::read(pty.master(), buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i)
        if (buf[i] != patternByte(farReceived + static_cast<size_t>(i)))
          farOk = false;
      farReceived += static_cast<size_t>(std::max<ssize_t>(n, 0));
    }
  });
  size_t sent = 0, received = 0;
  bool inOrder = true;
  std::vector<uint8_t> chunk(4096);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while ((sent < kTotal || received < kTotal) && std::chrono::steady_clock::now() < deadline) {
    size_t n = std::min<size_t>({port.OutputSpace(), chunk.size(), kTotal - sent});
    for (size_t i = 0; i < n; ++i)
      chunk[i] = patternByte(sent + i);
    if (n) {
      port.SendBlock(chunk.data(), n);
      sent += n;
    }
    size_t got = 0;
    while (port.InputWaiting() && got < 65536) {
      inOrder &= port.ReadByte() == patternByte(received++);
      ++got;
    }
    if (!n && !got)
      port.Port().waitForInput(1);
  }
  farWriter.join();
  farReader.join();
  EXPECT_EQ(received, kTotal);
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(farReceived.load(), kTotal);
  EXPECT_TRUE(farOk.load());
}

TEST_F(ComPortIo, SendBlockRefusesWhatDoesNotFit) {
  port.SetOutSize(16);
  port.SetOpen(true);
  std::vector<uint8_t> big(17, 'x');
  try {
    port.SendBlock(big.data(), big.size());
    FAIL() << "a block larger than the ring was accepted";
  } catch (const EFxException& e) {
    EXPECT_EQ(e.ErrorCode(), ecOutputBufferTooSmall);
  }
  port.SendText("0123456789");
  EXPECT_EQ(pty.readUntil("0123456789", 2000), "0123456789");
}

TEST_F(ComPortIo, WaitForTextMatchesAcrossReadsAndAfterPartialMatches) {
  port.SetOpen(true);
  std::string seen;
  port.OnWaitChar = [&](TFxCustomComPort&, uint8_t c) { seen.push_back(static_cast<char>(c)); };
  std::thread far([&] {
    pty.write("\r\nCONCON");
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    pty.write("NECT 9600\r\n");
  });
  EXPECT_TRUE(port.WaitForText("connect", 36, false, true));
  far.join();
  EXPECT_EQ(seen, "\r\nCONCONNECT"); // stops at the match; the rest stays queued
  EXPECT_EQ(port.InputCount(), 7);

  port.DiscardInput();
  pty.write("OOOK");
  EXPECT_TRUE(port.WaitForText("OOK", 36, false, false)); // overlapping partial match

  pty.write("ok");
  EXPECT_FALSE(port.WaitForText("OK", 4, false, false)); // case matters without ignoreCase
}

TEST_F(ComPortIo, WaitForTextTimesOutAndRestoresTheHold) {
  port.SetOpen(true);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.WaitForText("OK", 4, true, true));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_GE(ms, 3 * 55);
  EXPECT_FALSE(port.HoldDispatch(false)); // the wait put the previous value back
  port.HoldDispatch(true);
  EXPECT_FALSE(port.WaitForText("OK", 1, false, true));
  EXPECT_TRUE(port.HoldDispatch(false));
}

TEST(TextMatcher, FindsTextsWhereverTheyStart) {
  struct Case {
    const char* text;
    const char* input;
    bool ignoreCase;
    bool found;
  } cases[] = {{"OK", "OOK", false, true},
               {"AAB", "AAAB", false, true},
               {"ABAC", "ABABAC", false, true},
               {"OK", "xoKx", true, true},
               {"OK", "O K", true, false},
               {"\xC9T\xC9", "\xE9t\xE9", true, true},
               {"NO CARRIER", "NO CARRIE", false, false}};
  for (const Case& c : cases) {
    serial::TextMatcher m(c.text, c.ignoreCase);
    bool found = false;
    for (const char* p = c.input; *p; ++p)
      found |= m.feed(static_cast<uint8_t>(*p));
    EXPECT_EQ(found, c.found) << c.text << " in " << c.input;
  }
}

TEST_F(ComPortIo, TraceAndLogAreWrittenWhenThePortCloses) {
  port.SetTraceName("io.trc");
  port.SetLogName("io.log");
  port.SetTracing(tlOn);
  port.SetLogging(tlOn);
  port.SetOpen(true);
  port.SendText("AT\r");
  EXPECT_EQ(pty.readUntil("AT\r", 2000), "AT\r");
  pty.write("\r\nOK\r\n");
  ASSERT_TRUE(port.WaitForText("OK\r\n", 36, false, false));
  port.SetOpen(false);
  const std::string dir = testsupport::tempDir() + "/";
  EXPECT_EQ(readFile(dir + "io.trc"), "Transmit: \nAT[0D]\n\nReceive: \n[0D][0A]OK[0D][0A]\n");
  const std::string log = readFile(dir + "io.log");
  EXPECT_EQ(log.rfind("Time      Type      SubType       Data  OtherData\n", 0), 0u);
  EXPECT_NE(log.find("dispatch  writecom      0003  AT[0D]\n"), std::string::npos) << log;
  EXPECT_NE(log.find("dispatch  readcom       0006  [0D][0A]OK[0D][0A]\n"), std::string::npos)
      << log;
}

TEST_F(ComPortIo, DumpAppendClearAndPauseCommands) {
  port.SetTraceName("cmd.trc");
  port.SetOpen(true);
  port.SetTracing(tlOn);
  const std::string file = testsupport::tempDir() + "/cmd.trc";
  std::remove(file.c_str());
  port.SetTracing(tlDump); // nothing recorded: no file
  EXPECT_FALSE(std::ifstream(file).good());
  port.SendText("A");
  port.SetTracing(tlDump);
  port.SendText("B");
  port.SetTracing(tlAppend);
  EXPECT_EQ(readFile(file), "Transmit: \nA\nTransmit: \nB\n");
  port.SetTracing(tlPause);
  port.SendText("C");
  port.SetTracing(tlOn);
  port.SendText("D");
  port.SetTracing(tlClear);
  port.SendText("E");
  port.SetTracing(tlDump);
  EXPECT_EQ(readFile(file), "Transmit: \nE\n");
  EXPECT_EQ(port.Tracing(), tlOn);
}

} // namespace

namespace {

TEST_F(ComPortIo, SoftwareFlowHonoursXoffFromTheFarEnd) {
  port.SetOpen(true);
  EXPECT_FALSE(port.CarrierPresent()); // a pseudo-terminal has no carrier line
  port.SetSoftwareFlow(7000, 800, 1);
  EXPECT_EQ(port.SWFlowOptions(), swfTransmit);
  pty.write("\x13"); // XOFF
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  port.SendText("held");
  EXPECT_EQ(pty.readFor(200), "");
  pty.write("\x11"); // XON
  EXPECT_EQ(pty.readUntil("held", 2000), "held");
  port.ClearSoftwareFlow();
  pty.write("\x13");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  port.SendText("free");
  EXPECT_EQ(pty.readUntil("free", 2000), "free");
}

} // namespace
