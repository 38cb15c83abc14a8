// The trace and dispatch-log texts against golden files written by hand from
// the file rules, and the ring behaviour of both buffers.

#include "serial/DispatchLog.h"
#include "serial/TraceBuffer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string golden(const char* name) {
  std::ifstream in(std::string(TOLVANE_TEST_DATA) + "/serial/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void add(serial::TraceBuffer& t, char dir, const std::string& bytes) {
  t.add(dir, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Direction changes, a space and control bytes in both notations, an unknown
// direction letter, a line of exactly 78 columns and one that would reach 79.
serial::TraceBuffer mixedTrace() {
  serial::TraceBuffer t(1000);
  add(t, 'T', "AT\r");
  add(t, 'R', "\r\nOK\r\n");
  add(t, 'T', "ATDT 5551234\r");
  add(t, 'X', std::string("\0\xff~!", 4));
  add(t, 'R', std::string(78, 'A') + std::string(19, '\x10') + "ABC");
  return t;
}

TEST(TraceFormat, MatchesGoldenFilesInHexAndDecimal) {
  const serial::TraceBuffer t = mixedTrace();
  EXPECT_EQ(t.text(true), golden("trace-hex.txt"));
  EXPECT_EQ(t.text(false), golden("trace-dec.txt"));
}

TEST(TraceFormat, DirectionSwitchAfterEveryByte) {
  serial::TraceBuffer t(10);
  add(t, 'T', "a");
  add(t, 'R', "b");
  add(t, 'T', "c");
  EXPECT_EQ(t.text(true), "Transmit: \na\n\nReceive: \nb\n\nTransmit: \nc\n");
}

TEST(TraceFormat, DecimalCodesWrapByTheirWidth) {
  // 15 items of width 5 fill 75 columns; a 16th would reach 80 and wraps,
  // while a 3-wide item still fits on a line at 75.
  serial::TraceBuffer t(100);
  add(t, 'R', std::string(15, '\xC8') + std::string(1, '\x05'));
  add(t, 'R', std::string(1, '\xC8'));
  EXPECT_EQ(
      t.text(false), "Receive: \n" + [] {
        std::string s;
        for (int i = 0; i < 15; ++i)
          s += "[200]";
        return s + "[5]\n[200]\n";
      }());
}

TEST(TraceBuffer, EmptyAndWrappedRings) {
  serial::TraceBuffer t(4);
  EXPECT_TRUE(t.empty());
  EXPECT_EQ(t.text(true), "");
  add(t, 'T', "123456");
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(t.text(true), "Transmit: \n3456\n"); // the oldest two were overwritten
  t.clear();
  EXPECT_TRUE(t.empty());
}

TEST(LogFormat, MatchesGoldenFile) {
  serial::DispatchLog log(65520);
  const std::string crs(16, '\r');
  log.add(serial::ltDispatch, serial::lsWriteCom, 12, 4, reinterpret_cast<const uint8_t*>("ATZ\r"),
          4);
  log.add(serial::ltDispatch, serial::lsReadCom, 130, 0x16,
          reinterpret_cast<const uint8_t*>(crs.data()), crs.size());
  log.add(serial::ltTrigger, serial::lsAvail, 131, 0x1F);
  log.add(serial::ltDispatch, serial::lsModemStatus, 200, 0xB0);
  log.add(serial::ltDispatch, serial::lsModemStatus, 201, 0x0F);
  log.add(serial::ltThread, serial::lsStart, 300, 0);
  log.add(serial::ltError, serial::lsNone, 301, 1);
  log.add(serial::ltTrigger, serial::lsTimer, 302, 2);
  const std::string xy = std::string(38, 'x') + "y";
  log.add(serial::ltDispatch, serial::lsReadCom, 303, 0x27,
          reinterpret_cast<const uint8_t*>(xy.data()), xy.size());
  EXPECT_EQ(log.text(true), golden("log-hex.txt"));
}

TEST(DispatchLog, OldestRecordsGiveWayWithinTheByteBudget) {
  serial::DispatchLog log(12 * 3 + 4);
  const uint8_t data[4] = {1, 2, 3, 4};
  log.add(serial::ltTrigger, serial::lsAvail, 1, 1);
  log.add(serial::ltTrigger, serial::lsAvail, 2, 2);
  log.add(serial::ltTrigger, serial::lsAvail, 3, 3);
  ASSERT_EQ(log.records().size(), 3u);
  log.add(serial::ltDispatch, serial::lsReadCom, 4, 4, data, 4); // needs 16 bytes: one goes
  ASSERT_EQ(log.records().size(), 3u);
  EXPECT_EQ(log.records().front().timeMs, 2u);
  // A record larger than the whole log keeps only what fits.
  std::vector<uint8_t> big(1000, 'z');
  log.add(serial::ltDispatch, serial::lsReadCom, 5, 5, big.data(), big.size());
  ASSERT_EQ(log.records().size(), 1u);
  EXPECT_EQ(log.records().front().bytes.size(), 12u * 3 + 4 - 12);
}

} // namespace
