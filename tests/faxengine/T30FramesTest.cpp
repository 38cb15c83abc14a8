// T.30 frames and fields of the Class 1 machines: identifier order, DIS/DCS
// bits in both directions, the modem's modulation list, frame intake with
// DLE framing and FCS bytes, training check and fall-back order.

#include "faxengine/T30Frames.h"

#include <gtest/gtest.h>

using namespace faxengine::t30;

namespace {

Frame Feed(const std::vector<uint8_t>& bytes, bool* ended = nullptr) {
  FrameReader r;
  bool done = false;
  for (uint8_t b : bytes)
    done = r.Put(b) == FrameReader::Result::Done || done;
  if (ended)
    *ended = done;
  Frame f;
  f.fcf = 0xEE;
  if (!r.Take(f))
    f.fcf = 0xEE;
  return f;
}

TEST(T30Ident, StationIdIsPaddedInFrontAndReversedAndReadsBackUnchanged) {
  const std::vector<uint8_t> frame = BuildIdentFrame(fcfTsi, "12345");
  ASSERT_EQ(frame.size(), 3u + 20 + 2);
  EXPECT_EQ(frame[1], kControlNonFinal);
  EXPECT_EQ(frame[2], 0x43);
  EXPECT_EQ(std::string(frame.begin() + 3, frame.begin() + 23), std::string(15, ' ') + "54321");
  EXPECT_EQ(ReadIdent(frame.data() + 3, 20), "12345" + std::string(15, ' '));
  // Over-long IDs are cut to 20; control bytes read back as spaces.
  EXPECT_EQ(BuildIdentFrame(fcfCsi, std::string(30, 'A')).size(), 25u);
  const uint8_t raw[] = {'A', 0x07, 0x0D, 'B'};
  EXPECT_EQ(ReadIdent(raw, sizeof raw), "B  A");
}

TEST(T30Frames, FifBytesEqualToDleAreDoubled) {
  const std::vector<uint8_t> f = BuildFrame(fcfDcs, {0x10, 0x02}, true);
  EXPECT_EQ(f, (std::vector<uint8_t>{0xFF, 0x13, 0x83, 0x10, 0x10, 0x02, 0x10, 0x03}));
  // The reader undoes it, and drops the two FCS bytes the modem passes on.
  const Frame back = Feed({0xFF, 0x13, 0x83, 0x10, 0x10, 0x02, 0xAA, 0xBB, 0x10, 0x03});
  EXPECT_TRUE(back.final);
  EXPECT_EQ(back.fcf, 0x83);
  EXPECT_EQ(back.fif, (std::vector<uint8_t>{0x10, 0x02}));
}

TEST(T30Frames, IntakeSkipsNoiseAndRejectsStubs) {
  const Frame f = Feed({'\r', '\n', 0x00, 0xFF, 0x03, 0x40, 0x31, 0x32, 0x10, 0x03});
  EXPECT_FALSE(f.final);
  EXPECT_EQ(f.fcf, 0x40);
  EXPECT_TRUE(f.fif.empty()); // the two bytes are the FCS
  EXPECT_EQ(Feed({0xFF, 0x13, 0x10, 0x03}).fcf, 0xEE);
  bool ended = true;
  Feed({0xFF, 0x13, 0x80, 0x10}, &ended);
  EXPECT_FALSE(ended);
  // An endless frame is held to a bounded size.
  std::vector<uint8_t> big(100000, 0x55);
  big.insert(big.begin(), {0xFF, 0x13, 0x80});
  big.insert(big.end(), {0x10, 0x03});
  EXPECT_LE(Feed(big).fif.size(), 512u);
}

TEST(T30Dis, V29OfferNegotiatesNineSixHundredWithAV17Modem) {
  const Capabilities dis = ReadDis(std::vector<uint8_t>{0x00, 0x4C, 0x01}.data(), 3);
  EXPECT_TRUE(dis.fine);
  EXPECT_TRUE(dis.wide);
  SpeedSet local;
  for (int i = 1; i <= kMaxIndex; ++i)
    local.has[i] = true;
  EXPECT_EQ(local.Best(dis.speeds, 14400), 4);
  EXPECT_EQ(local.Best(dis.speeds, 7200), 3);
  // V.27ter, V.29 and V.17 (bits 11, 12 and 14) bring 14400 and 12000.
  const Capabilities v17 = ReadDis(std::vector<uint8_t>{0x00, 0x2C, 0x00}.data(), 3);
  EXPECT_EQ(local.Best(v17.speeds, 14400), 6);
  EXPECT_EQ(local.Below(v17.speeds, 6), 5);
  // V.27ter alone (bit 12) stops at 4800.
  const Capabilities v27 = ReadDis(std::vector<uint8_t>{0x00, 0x08, 0x00}.data(), 3);
  EXPECT_EQ(local.Best(v27.speeds, 14400), 2);
  // A frame too short for its fields reads as the fall-back mode, 2400.
  const Capabilities stub = ReadDis(nullptr, 0);
  EXPECT_EQ(stub.speeds.Highest(), 1);
  EXPECT_FALSE(stub.fine);
}

TEST(T30Dcs, EverySpeedResolutionAndScanTimeRoundTrips) {
  for (int idx = 1; idx <= kMaxIndex; ++idx)
    for (int fine = 0; fine < 2; ++fine)
      for (int wide = 0; wide < 2; ++wide) {
        const std::vector<uint8_t> fif = BuildDcsFif(idx, fine, wide, 3);
        const Capabilities c = ReadDcs(fif.data(), fif.size());
        EXPECT_EQ(c.index, idx);
        EXPECT_EQ(c.fine, fine != 0);
        EXPECT_EQ(c.wide, wide != 0);
      }
  EXPECT_EQ(BuildDcsFif(4, false, false, 0), (std::vector<uint8_t>{0x00, 0x06, 0xF8, 0x00}));
  EXPECT_EQ(ScanTimeFromBits(0x00), 5);
  EXPECT_EQ(ScanTimeFromBits(0x70), 0);
  EXPECT_EQ(ScanTimeBits(2, true), 0x10);
  EXPECT_EQ(ScanTimeBits(2, false), 0x20);
}

// T.30 bits 11 to 14 (FIF byte 2, 0x04 to 0x20) read as a number, bit 11
// lowest: the data-signalling-rate codes another machine decodes.
int RateField(const std::vector<uint8_t>& fif) {
  return (fif.at(1) >> 2) & 0x0F;
}

TEST(T30Rates, DisAndDcsRateFieldsUseTheStandardCodes) {
  // DIS: 2 = V.27ter, 3 = V.27ter and V.29, 11 = V.27ter, V.29 and V.17.
  EXPECT_EQ(RateField(BuildDisFif(1)), 0);
  EXPECT_EQ(RateField(BuildDisFif(2)), 2);
  EXPECT_EQ(RateField(BuildDisFif(4)), 3);
  EXPECT_EQ(RateField(BuildDisFif(5)), 11);
  EXPECT_EQ(RateField(BuildDisFif(6)), 11);
  EXPECT_EQ(BuildDisFif(6), (std::vector<uint8_t>{0x00, 0x6E, 0xF9, 0x00}));
  // DCS: 0 = 2400, 2 = 4800, 3 = 7200 V.29, 1 = 9600 V.29, 10 = 12000, 8 = 14400.
  const int dcsCodes[kMaxIndex + 1] = {-1, 0, 2, 3, 1, 10, 8};
  for (int idx = 1; idx <= kMaxIndex; ++idx)
    EXPECT_EQ(RateField(BuildDcsFif(idx, false, false, 0)), dcsCodes[idx]) << idx;
  // A DCS from another machine: V.17 at 12000, 9600 and 7200.
  EXPECT_EQ(ReadDcs(std::vector<uint8_t>{0x00, 0x28, 0x00}.data(), 3).index, 5);
  EXPECT_EQ(ReadDcs(std::vector<uint8_t>{0x00, 0x24, 0x00}.data(), 3).index, 4);
  EXPECT_EQ(ReadDcs(std::vector<uint8_t>{0x00, 0x2C, 0x00}.data(), 3).index, 3);
  // Our own DIS read back offers what it was built for.
  EXPECT_EQ(ReadDis(BuildDisFif(6).data(), 4).speeds.Highest(), 6);
  EXPECT_EQ(ReadDis(BuildDisFif(4).data(), 4).speeds.Highest(), 4);
  EXPECT_EQ(ReadDis(BuildDisFif(2).data(), 4).speeds.Highest(), 2);
}

// Coding bits as another machine reads them: bit 16 (FIF byte 2, 0x80) for
// MR, bits 27, 28 and 31 (byte 4: 0x04, 0x08, 0x40) for ECM, 64-octet
// frames and T.6; byte 4 only counts behind byte 3's extend bit.
TEST(T30Coding, DisAndDcsCarryCodingsAndTheSenderPicksTheBestShared) {
  const CodingSet all{true, true, true, false};
  EXPECT_EQ(BuildDisFif(6, all), (std::vector<uint8_t>{0x00, 0xEE, 0xF9, 0x44}));
  EXPECT_EQ(ReadDis(BuildDisFif(6, all).data(), 4).coding, all);
  EXPECT_EQ(ReadDis(BuildDisFif(6, {true}).data(), 4).coding, CodingSet{true});
  EXPECT_EQ(ReadDis(std::vector<uint8_t>{0x00, 0x80, 0x00, 0x44}.data(), 4).coding,
            CodingSet{true}); // no extend bit: byte 4 is not there
  // T.6 without ECM is not a capability.
  EXPECT_EQ(ReadDis(std::vector<uint8_t>{0x00, 0x00, 0x80, 0x40}.data(), 4).coding, CodingSet{});

  // MMR with ECM when both have them, MR without ECM, never MMR without ECM.
  const CodingSet mmr = ChooseCoding(all, all);
  EXPECT_EQ(mmr, (CodingSet{false, true, true, false}));
  EXPECT_EQ(PageCoding(mmr), faximage::FaxCoding::Mmr);
  const CodingSet noEcm = ChooseCoding({true, true, false}, all);
  EXPECT_EQ(noEcm, CodingSet{true});
  EXPECT_EQ(PageCoding(noEcm), faximage::FaxCoding::Mr);
  EXPECT_EQ(PageCoding(ChooseCoding({true}, {false, false, true})), faximage::FaxCoding::Mh);
  EXPECT_EQ(ChooseCoding({true, false, true}, all), (CodingSet{true, false, true, false}));

  // The chosen coding goes through a DCS and back, 64-octet frames included.
  const CodingSet small{false, true, true, true};
  const std::vector<uint8_t> dcs = BuildDcsFif(6, true, false, 0, small);
  EXPECT_EQ(dcs[3], 0x4C);
  EXPECT_EQ(ReadDcs(dcs.data(), dcs.size()).coding, small);
  EXPECT_EQ(ReadDcs(BuildDcsFif(6, true, false, 0, {true}).data(), 4).coding, CodingSet{true});
  EXPECT_EQ(BuildDcsFif(4, false, false, 0, {}), BuildDcsFif(4, false, false, 0));
}

TEST(T30Modulations, CodesAreMatchedWholeOnCommaLines) {
  const SpeedSet v29 = ParseModulations("24,48,72,96\r\n");
  EXPECT_EQ(v29.Highest(), 4);
  EXPECT_FALSE(v29.has[6]);
  // "145" must not come from "14" or "1450"; a line without commas is ignored.
  EXPECT_EQ(ParseModulations("3,24,48,1450\r\n").Highest(), 2);
  EXPECT_EQ(ParseModulations("72 96 145").Highest(), 2);
  EXPECT_EQ(ParseModulations("24,48,72,73,74,96,97,98,121,122,145,146").Highest(), 6);
  EXPECT_STREQ(PageCodeOfIndex(6), "146");
  EXPECT_STREQ(PageCodeOfIndex(4), "96");
}

TEST(T30Training, CheckLengthAndVerdict) {
  EXPECT_EQ(TrainingBytes(9600), 1728u);
  EXPECT_EQ(TrainingBytes(14400), 2592u);
  EXPECT_EQ(TrainingBytes(100000), 8192u);
  auto verdict = [](int nonZero) {
    TrainingCheck c;
    for (int i = 0; i < 1728; ++i)
      c.Count(i < nonZero ? 0x55 : 0);
    return c.Passed();
  };
  EXPECT_TRUE(verdict(5));
  EXPECT_FALSE(verdict(200));
  EXPECT_FALSE(TrainingCheck{}.Passed());
}

TEST(T30Frames, FcfKindsIgnoreTheCallingStationBit) {
  EXPECT_EQ(KindOfFcf(0x4E), FrameKind::Mps);
  EXPECT_EQ(KindOfFcf(0x4F), FrameKind::Mps);
  EXPECT_EQ(KindOfFcf(0x4D), FrameKind::Rtn);
  EXPECT_EQ(KindOfFcf(0xFA), FrameKind::Dcn);
  EXPECT_EQ(KindOfFcf(0x2F), FrameKind::Other); // EOP: anything but MPS ends
}

} // namespace
