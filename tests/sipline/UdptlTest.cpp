// UDPTL through a lossy path: what the redundancy brings back, what it
// cannot, and the datagram size limit.

#include "sipline/Udptl.h"

#include <gtest/gtest.h>

#include <random>

using namespace tolvane::sipline;

namespace {

struct Received {
  std::vector<Bytes> ifps;
  std::vector<uint16_t> seqs;
};

// IFP packets of varying size whose first bytes say which one they are.
Bytes ifpNumber(int n, size_t size) {
  Bytes b(size, static_cast<uint8_t>(n * 7));
  b[0] = static_cast<uint8_t>(n >> 8);
  b[1] = static_cast<uint8_t>(n);
  return b;
}

} // namespace

TEST(Udptl, RedundancyRecoversRandomLossInOrderWithinTheDatagramLimit) {
  UdptlSender sender(3, 400);
  Received got;
  UdptlReceiver receiver([&](const uint8_t* d, size_t n, uint16_t seq) {
    got.ifps.emplace_back(d, d + n);
    got.seqs.push_back(seq);
  });
  std::mt19937 rng(23);
  std::bernoulli_distribution drop(0.10);
  const int kPackets = 3000;
  int dropped = 0, runsTooLong = 0, run = 0;
  std::vector<Bytes> sent;
  for (int i = 0; i < kPackets; ++i) {
    sent.push_back(ifpNumber(i, 2 + static_cast<size_t>(i % 90)));
    Bytes datagram = sender.next(sent.back().data(), sent.back().size());
    ASSERT_LE(datagram.size(), 400u);
    if (i < kPackets - 1 && drop(rng)) {
      ++dropped;
      if (++run > 3)
        ++runsTooLong;
      continue;
    }
    run = 0;
    // Every datagram also arrives twice, as repeated indicators do.
    ASSERT_TRUE(receiver.datagram(datagram.data(), datagram.size()));
    ASSERT_TRUE(receiver.datagram(datagram.data(), datagram.size()));
  }
  ASSERT_GT(dropped, 200);
  // Three secondaries bring back every packet unless four in a row vanish.
  EXPECT_EQ(receiver.lost(), runsTooLong);
  EXPECT_EQ(static_cast<long>(got.ifps.size()), kPackets - receiver.lost());
  for (size_t i = 0; i < got.ifps.size(); ++i) {
    ASSERT_EQ(got.ifps[i], sent[got.seqs[i]]) << "seq " << got.seqs[i];
    if (i > 0)
      ASSERT_GT(got.seqs[i], got.seqs[i - 1]) << "delivered out of order";
  }
}

TEST(Udptl, LargeIfpPacketsShedRedundancyToStayWithinTheLimit) {
  UdptlSender sender(3, 400);
  Bytes big(300, 0x55);
  sender.next(big.data(), big.size());
  Bytes datagram = sender.next(big.data(), big.size());
  EXPECT_LE(datagram.size(), 400u);
  auto p = parseUdptl(datagram.data(), datagram.size());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->seq, 1);
  EXPECT_TRUE(p->secondaries.empty());

  Bytes small(20, 0x11);
  datagram = sender.next(small.data(), small.size());
  p = parseUdptl(datagram.data(), datagram.size());
  ASSERT_TRUE(p);
  ASSERT_EQ(p->secondaries.size(), 1u) << "one 300-byte secondary fits beside 20 bytes";
  EXPECT_EQ(p->secondaries[0], big);
}

TEST(Udptl, MalformedDatagramsAreRefusedWhole) {
  const Bytes good = {0x00, 0x05, 0x02, 0x06, 0x01, 0x00, 0x01, 0x01, 0x06};
  ASSERT_TRUE(parseUdptl(good.data(), good.size()));
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(parseUdptl(good.data(), cut)) << "cut at " << cut;
  Bytes trailing = good;
  trailing.push_back(0);
  EXPECT_FALSE(parseUdptl(trailing.data(), trailing.size()));
  Bytes badChoice = good;
  badChoice[5] = 0x40;
  EXPECT_FALSE(parseUdptl(badChoice.data(), badChoice.size()));
  // Forward error correction is understood as a layout, and carries no
  // secondaries to recover from.
  const Bytes fec = {0x00, 0x09, 0x01, 0x06, 0x80, 0x03, 0x01, 0x02, 0xAA, 0xBB};
  auto p = parseUdptl(fec.data(), fec.size());
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->fec);
  EXPECT_EQ(p->seq, 9);
}
