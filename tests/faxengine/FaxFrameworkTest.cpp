// Framework pieces that need no modem: header macros, report parsing,
// parameter strings, DLE framing, bit order, scan-line filling and the
// component settings with rules.

#include "faxengine/Class2Protocol.h"
#include "faxengine/PageData.h"
#include "faxengine/TFxSendFax.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

using namespace faxengine;

namespace {

HeaderValues Values(int page, int total) {
  HeaderValues v;
  v.date = "12/07/26";
  v.time = "21:15:00";
  v.stationId = "+1 555 0100";
  v.sender = "Ann";
  v.recipient = "Bob";
  v.title = "Order";
  v.pageNumber = page;
  v.totalPages = total;
  return v;
}

} // namespace

TEST(HeaderMacros, ExpandsEveryLetterCaseInsensitively) {
  EXPECT_EQ(ExpandHeaderMacros("$D $T Page $P of $N", Values(2, 3)),
            "12/07/26 21:15:00 Page 2 of 3");
  // The colon belongs to the $r token and goes with it.
  EXPECT_EQ(ExpandHeaderMacros("$i $f to $r: $s", Values(1, 1)), "+1 555 0100 Ann to Bob Order");
}

TEST(HeaderMacros, TokenRunsToTheNextSpaceAndUnknownLettersVanish) {
  EXPECT_EQ(ExpandHeaderMacros("A $X B", Values(1, 1)), "A  B");
  EXPECT_EQ(ExpandHeaderMacros("p$Pxx|$N", Values(4, 9)), "p4");
  EXPECT_EQ(ExpandHeaderMacros("end $", Values(1, 1)), "end ");
}

TEST(HeaderMacros, InsertedValuesAreNotScannedAgain) {
  HeaderValues v = Values(1, 2);
  v.sender = "$P$N";
  EXPECT_EQ(ExpandHeaderMacros("From $F page $P", v), "From $P$N page 1");
}

TEST(Class2Reports, ParametersAreReadAtTheirPositions) {
  Class2Params p = ParseClass2Params("+FDCS: 1,5,0,2,0,1,0,3");
  EXPECT_TRUE(p.fine);
  EXPECT_EQ(p.bps, 14400);
  EXPECT_FALSE(p.wide);
  EXPECT_TRUE(p.ecm);
  EXPECT_EQ(p.scanTime, 3);
  p = ParseClass2Params("+FCS:0,9,1,2,0,0,0,0");
  EXPECT_FALSE(p.fine);
  EXPECT_EQ(p.bps, 9600); // unknown digit
  EXPECT_EQ(p.bpsCode, '3');
  EXPECT_TRUE(p.wide);
  EXPECT_FALSE(p.ecm);
  // A cut-off line reads as nothing rather than past its end.
  p = ParseClass2Params("+FDIS:1,2");
  EXPECT_EQ(p.bps, 7200);
  EXPECT_EQ(p.scanTime, 0);
}

TEST(Class2Reports, RemoteIdHangupAndStatusCodes) {
  EXPECT_EQ(ParseRemoteId("+FCSI:\"  12345 \""), "12345");
  EXPECT_EQ(ParseRemoteId("+FTI: \"ACME SALES\""), "ACME SALES");
  EXPECT_EQ(ParseRemoteId("+FCSI:\"123456789012345678901234\"").size(), 20u);
  EXPECT_EQ(ParseHangupCode("+FHNG:0"), "0");
  EXPECT_EQ(ParseHangupCode("+FHS:100"), "100");
  EXPECT_EQ(ParseHangupCode("+FHNG: 52  "), "52");
  EXPECT_EQ(ReportCode("+FPTS:2,2200"), '2');
  EXPECT_EQ(ReportCode("+FET: 1"), '1');
  EXPECT_EQ(ReportCode("+FPTS"), '\0');
}

TEST(Class2Reports, CapabilityStringsCarrySpeedResolutionWidthCodingAndEcm) {
  EXPECT_EQ(LocalCapsParams(true, false, 14400, {}), "=1,5,0,2,0,0,0,0");
  EXPECT_EQ(LocalCapsParams(false, true, 4800, {'3', true}), "=0,1,1,2,3,1,0,0");
  EXPECT_EQ(LocalCapsParams(false, false, 1234, {'1', false}), "=0,3,0,2,1,0,0,0");
  EXPECT_EQ(ModemCapsParams(12000, {'0', true}), "=1,4,0,2,0,1,0,0");
  for (int bps : {2400, 4800, 7200, 9600, 12000, 14400})
    EXPECT_EQ(BpsForCode(BrCodeFor(bps)), bps);
  EXPECT_EQ(ParseClass2Params("+FCS:0,5,0,2,3,1,0,0").df, '3');
  EXPECT_EQ(ParseClass2Params("+FDCS:0,5,0,2,1,0,0,0").df, '1');
}

// Only what the modem reports is offered, MMR only with error correction,
// and the caller's (or the port's) wishes win over the modem's abilities.
TEST(Class2Reports, OfferFollowsWhatTheModemReports) {
  const std::string full = "(0,1),(0-5),(0-2),(0-2),(0-3),(0-2),(0),(0-7)";
  const auto offer = [](const std::string& ranges, bool want2D, bool wantEcm) {
    const Class2Offer o = ChooseClass2Offer(ranges, want2D, wantEcm);
    return std::string(1, o.df) + (o.ecm ? "+ecm" : "");
  };
  EXPECT_EQ(offer(full, true, true), "3+ecm");
  EXPECT_EQ(offer(full, true, false), "1");
  EXPECT_EQ(offer(full, false, true), "0+ecm");
  EXPECT_EQ(offer("+FCC: (0,1),(0-5),(0-2),(0-2),(0,1),(0),(0),(0-7)", true, true), "1");
  EXPECT_EQ(offer("(0,1),(0-5),(0-2),(0-2),0,(0,1),(0),(0-7)", true, true), "0+ecm");
  EXPECT_EQ(offer("(0,1),(0-5),(0-2),(0-2),(0),(0),(0),(0-7)", true, true), "0");
  EXPECT_EQ(offer("", true, true), "0");
  EXPECT_EQ(offer("ERROR", true, true), "0");
}

TEST(PageData, DleDoublingAndDecodingAreInverse) {
  const std::vector<uint8_t> data = {0x10, 0x00, 0x10, 0x10, 0x03, 0xFF};
  std::vector<uint8_t> framed;
  AppendDleDoubled(framed, data.data(), data.size());
  EXPECT_EQ(framed, (std::vector<uint8_t>{0x10, 0x10, 0x00, 0x10, 0x10, 0x10, 0x10, 0x03, 0xFF}));
  framed.push_back(0x10);
  framed.push_back(0x03);
  framed.push_back(0x55); // after the end: not page data
  DleDecoder dec;
  std::vector<uint8_t> out;
  bool ended = false;
  // Fed in two pieces split inside a DLE pair.
  size_t used = dec.Decode(framed.data(), 3, out, ended);
  EXPECT_EQ(used, 3u);
  EXPECT_FALSE(ended);
  used = dec.Decode(framed.data() + 3, framed.size() - 3, out, ended);
  EXPECT_TRUE(ended);
  EXPECT_EQ(used, framed.size() - 4);
  EXPECT_EQ(out, data);
}

TEST(PageData, DleBeforeEtxAndOtherBytes) {
  DleDecoder dec;
  std::vector<uint8_t> out;
  bool ended = false;
  const uint8_t in[] = {0x10, 0x10, 0x10, 0x03};
  dec.Decode(in, sizeof in, out, ended);
  EXPECT_TRUE(ended);
  EXPECT_EQ(out, std::vector<uint8_t>{0x10});
  out.clear();
  const uint8_t other[] = {0x10, 0x41, 0x42};
  dec.Decode(other, sizeof other, out, ended);
  EXPECT_FALSE(ended);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x41, 0x42}));
}

TEST(PageData, BitReversalAndRowFill) {
  EXPECT_EQ(ReverseBits(0x01), 0x80);
  EXPECT_EQ(ReverseBits(0x80), 0x01);
  EXPECT_EQ(ReverseBits(0xB2), 0x4D);
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(ReverseBits(ReverseBits(uint8_t(b))), b);
  std::vector<uint8_t> out;
  const uint8_t row[] = {0x10, 0x22};
  AppendRowFilled(out, row, sizeof row, 5);
  // The fill counts row bytes, not the doubled DLE.
  EXPECT_EQ(out, (std::vector<uint8_t>{0x10, 0x10, 0x22, 0, 0, 0}));
  EXPECT_EQ(MinBytesPerLine(3, false, 14400), 18);
  EXPECT_EQ(MinBytesPerLine(2, true, 9600), 6);
  EXPECT_EQ(MinBytesPerLine(7, false, 2400), 12);
  EXPECT_EQ(MinBytesPerLine(0, false, 14400), 0);
  EXPECT_EQ(MinBytesPerLine(42, false, 14400), 0);
}

TEST(FaxComponents, InitStringFollowsDialOptions) {
  TFxSendFax fax;
  EXPECT_EQ(fax.Protocol().initString, "ATE0Q0V1X4S0=0S2=43");
  fax.SetDetectBusy(false);
  EXPECT_EQ(fax.Protocol().initString, "ATE0Q0V1X2S0=0S2=43");
  fax.SetBlindDial(true);
  EXPECT_EQ(fax.Protocol().initString, "ATE0Q0V1X1S0=0S2=43");
  fax.SetDetectBusy(true);
  EXPECT_EQ(fax.Protocol().initString, "ATE0Q0V1X3S0=0S2=43");
}

TEST(FaxComponents, SettingsWithRules) {
  TFxSendFax fax;
  fax.SetModemInit("&c1");
  EXPECT_EQ(fax.ModemInit(), "AT&C1");
  fax.SetModemInit("atm0");
  EXPECT_EQ(fax.ModemInit(), "ATM0");
  fax.SetDialWait(60);
  EXPECT_EQ(fax.Protocol().dialWait, 1092);
  EXPECT_EQ(fax.DialWait(), 60);
  fax.SetDialRetryWait(10);
  EXPECT_EQ(fax.Record().dialRetryWait, 182);
  EXPECT_EQ(fax.DialRetryWait(), 10);
  fax.SetStationID("123456789012345678901234");
  EXPECT_EQ(fax.StationID().size(), 20u);
  EXPECT_EQ(TFxSendFax::StatusText(43), "");
  EXPECT_EQ(TFxSendFax::StatusText(3), "Busy, waiting until redial...");
  EXPECT_EQ(TFxSendFax::StatusText(28), "Got Class 2 FHNG code");
}

TEST(FaxComponents, StartingWithoutPortRaises) {
  TFxSendFax fax;
  try {
    fax.BeginTransmit();
    FAIL() << "no exception";
  } catch (const EFxException& e) {
    EXPECT_EQ(e.ErrorCode(), -1005);
  }
}
