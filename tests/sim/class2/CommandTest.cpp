// The +F command set without a call: parameters, queries and refusals.

#include <gtest/gtest.h>

#include "sim/class2/Class2Modem.h"

namespace tolvane::sim::test {
namespace {

using Result = Class2Modem::Result;

struct Dte {
  std::string out;
  Class2Modem modem;
  explicit Dte(Class2Dialect d, Class2Options o = {})
      : modem(d, std::move(o),
              {[this](const uint8_t* p, size_t n) {
                 out.append(reinterpret_cast<const char*>(p), n);
               },
               [](std::string_view) {}, [] {}, [] {}}) {}
  std::string take() { return std::exchange(out, {}); }
};

TEST(Class2Commands, SessionParametersAreSetQueriedAndRangeChecked) {
  Dte dte(Class2Dialect::Class2);
  EXPECT_EQ(dte.modem.command("+FDIS=0,3,1,2,0,0,0,0"), Result::Ok);
  EXPECT_EQ(dte.modem.command("+FDIS=,5"), Result::Ok); // empty fields keep their value
  EXPECT_EQ(dte.modem.command("+FDIS?"), Result::Ok);
  EXPECT_EQ(dte.take(), "\r\n0,5,1,2,0,0,0,0\r\n");
  EXPECT_EQ(dte.modem.command("+FDIS=?"), Result::Ok);
  EXPECT_EQ(dte.take(), "\r\n(0,1),(0-5),(0-2),(0-2),(0,1,3),(0,1),(0),(0-7)\r\n");
  EXPECT_EQ(dte.modem.command("+FDIS=1,6"), Result::Error);
  EXPECT_EQ(dte.modem.command("+FDIS=1,5,0,2,0,0,0,0,0"), Result::Error);
  EXPECT_EQ(dte.modem.command("+FDIS=a"), Result::Error);
  EXPECT_EQ(dte.modem.command("+FDCS=1,5,0,2,0,0,0,0"), Result::Error) << "read only";
  EXPECT_EQ(dte.take(), "\r\nERROR\r\n\r\nERROR\r\n\r\nERROR\r\n\r\nERROR\r\n");
  // uncompressed mode and a kind of error correction the modem lacks are
  // lowered to what it does: MR, Annex A error correction
  EXPECT_EQ(dte.modem.command("+FDCC=1,5,0,2,2,2,0,0"), Result::Ok);
  EXPECT_EQ(dte.modem.command("+FDCC?"), Result::Ok);
  EXPECT_EQ(dte.take(), "\r\n1,5,0,2,1,1,0,0\r\n");
  EXPECT_EQ(dte.out, "");
}

TEST(Class2Commands, SlowerModemLowersTheBitRateAndSaysSo) {
  Class2Options slow;
  slow.maxBitRate = 3;
  Dte dte(Class2Dialect::Class20, slow);
  EXPECT_EQ(dte.modem.command("+FIS=1,5,0,2,0,0,0,0"), Result::Ok);
  EXPECT_EQ(dte.modem.command("+FIS?"), Result::Ok);
  EXPECT_EQ(dte.modem.command("+FCC=?"), Result::Ok);
  EXPECT_EQ(
      dte.take(),
      "\r\n+FIS:1,3,0,2,0,0,0,0\r\n\r\n+FCC:(0,1),(0-3),(0-2),(0-2),(0,1,3),(0,1),(0),(0-7)\r\n");
}

TEST(Class2Commands, StationIdIsQuotedAndLimitedTo20Characters) {
  Dte dte(Class2Dialect::Class2);
  EXPECT_EQ(dte.modem.command("+FLID=\"+49 30 1234567\""), Result::Ok);
  EXPECT_EQ(dte.modem.command("+FLID?"), Result::Ok);
  EXPECT_EQ(dte.take(), "\r\n\"+49 30 1234567\"\r\n");
  EXPECT_EQ(dte.modem.command("+FLID=\"123456789012345678901\""), Result::Error);
  Dte dte20(Class2Dialect::Class20);
  EXPECT_EQ(dte20.modem.command("+FLI=\"ABC\""), Result::Ok);
  EXPECT_EQ(dte20.modem.command("+FLI?"), Result::Ok);
  EXPECT_EQ(dte20.take(), "\r\n+FLI:\"ABC\"\r\n");
}

TEST(Class2Commands, EachDialectKnowsOnlyItsOwnWords) {
  Dte c2(Class2Dialect::Class2);
  Dte c20(Class2Dialect::Class20);
  EXPECT_EQ(c2.modem.command("+FIS=1,5,0,2,0,0,0,0"), Result::Error);
  EXPECT_EQ(c20.modem.command("+FDIS=1,5,0,2,0,0,0,0"), Result::Error);
  EXPECT_EQ(c20.modem.command("+FLO=2"), Result::Ok);
  EXPECT_EQ(c20.modem.command("+FNR=1,1,1,0"), Result::Ok);
  EXPECT_EQ(c2.modem.command("+FNR=1,1,1,0"), Result::Error);
  EXPECT_EQ(c20.modem.command("+FIS=0,1,0,2,0,0,0,0"), Result::Ok);
  EXPECT_EQ(c20.modem.command("+FIP"), Result::Ok); // back to power-on values
  c20.take();
  EXPECT_EQ(c20.modem.command("+FIS?"), Result::Ok);
  EXPECT_EQ(c20.take(), "\r\n+FIS:1,5,0,2,0,0,0,0\r\n");
  EXPECT_EQ(c2.modem.command("+FIP"), Result::Error);
  EXPECT_EQ(c2.modem.command("+FMDL?"), Result::Ok);
  EXPECT_EQ(c20.modem.command("+FMM?"), Result::Ok);
  EXPECT_EQ(c2.modem.command("+FXYZ=1"), Result::Error);
  EXPECT_EQ(c2.modem.command("X"), Result::Error);
}

TEST(Class2Commands, CallCommandsOutOfTurnAreRefused) {
  Dte dte(Class2Dialect::Class2);
  EXPECT_EQ(dte.modem.command("+FDT"), Result::Error);
  EXPECT_EQ(dte.modem.command("+FDR"), Result::Error);
  EXPECT_EQ(dte.modem.command("+FET=0"), Result::Error);
  EXPECT_EQ(dte.modem.command("+FK"), Result::Ok);
  EXPECT_FALSE(dte.modem.inDataMode());
  EXPECT_EQ(dte.out, "\r\nERROR\r\n\r\nERROR\r\n\r\nERROR\r\n");
}

TEST(Class2Commands, NumericResultCodes) {
  Dte dte(Class2Dialect::Class2);
  dte.modem.setVerbose(false);
  Class2Modem::Result r = dte.modem.command("D5");
  ASSERT_EQ(r, Result::Pending);
  dte.modem.callEvent(Class2Modem::Event::Busy);
  EXPECT_EQ(dte.take(), "7\r");
}

} // namespace
} // namespace tolvane::sim::test
