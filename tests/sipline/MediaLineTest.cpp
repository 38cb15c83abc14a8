// The SIP modem's T.38 media against spandsp's own T.38 encoder and decoder
// as the far end: HDLC frames no Class 1 DTE can be handed (a frame of DLE
// octets too long for T.31's buffers, error correction frames while the DTE
// waits for none) are dropped without harm to the modem; an error
// correction frame reaches a DTE waiting for page data as its bit stream;
// DIS keeps error correction, unless the line is told to keep it off.

#include "sipline/MediaLine.h"
#include "tests/support/DteData.h"

#include "faxengine/HdlcFraming.h"
#include "sim/AtParser.h"
#include "sim/T31Guard.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace tolvane;
using namespace tolvane::sipline;

namespace {

constexpr uint8_t kDle = 0x10, kEtx = 0x03;
constexpr uint8_t kEcmBit = 0x04; // DIS bit 27, in octet 6 of the frame

// A DIS (final frame) offering V.17, fine resolution, 2-D coding and ECM.
std::vector<uint8_t> disFrame() {
  return {0xFF, 0x13, 0x80, 0x00, 0xEE, 0xF8, 0x80 | kEcmBit | 0x40, 0x80, 0x10, 0x00};
}

// spandsp's T.38 engine standing in for the far end: what it encodes goes
// out as UDPTL datagrams; what it decodes is collected as HDLC frames.
struct FarEnd {
  FarEnd() {
    core = t38_core_init(nullptr, &FarEnd::indicator, &FarEnd::data, &FarEnd::missing, this,
                         &FarEnd::out, this);
    t38_set_t38_version(core, 0);
  }
  ~FarEnd() { t38_core_free(core); }

  // One HDLC frame as the far end's T.38 gateway sends it: the modem's
  // training indicator, the octets in chunks, then FCS-OK.
  std::vector<Bytes> frame(int dataType, const std::vector<uint8_t>& octets) {
    datagrams.clear();
    t38_core_send_indicator(core, dataType == T38_DATA_V21 ? T38_IND_V21_PREAMBLE
                                                           : T38_IND_V17_14400_LONG_TRAINING);
    std::vector<uint8_t> reversed(octets.size());
    bit_reverse(reversed.data(), octets.data(), static_cast<int>(octets.size()));
    for (size_t i = 0; i < reversed.size(); i += 64) {
      const int n = static_cast<int>(std::min<size_t>(64, reversed.size() - i));
      t38_core_send_data(core, dataType, T38_FIELD_HDLC_DATA, reversed.data() + i, n,
                         T38_PACKET_CATEGORY_IMAGE_DATA);
    }
    t38_core_send_data(core, dataType, T38_FIELD_HDLC_FCS_OK, nullptr, 0,
                       T38_PACKET_CATEGORY_IMAGE_DATA);
    return datagrams;
  }

  static int out(t38_core_state_t*, void* user, const uint8_t* ifp, int len, int) {
    auto* self = static_cast<FarEnd*>(user);
    self->datagrams.push_back(self->udptl.next(ifp, static_cast<size_t>(len)));
    return 0;
  }
  static int indicator(t38_core_state_t*, void*, int) { return 0; }
  static int missing(t38_core_state_t*, void*, int, int) { return 0; }
  static int data(t38_core_state_t*, void* user, int, int field, const uint8_t* buf, int len) {
    auto* self = static_cast<FarEnd*>(user);
    if (len > 0 && (field == T38_FIELD_HDLC_DATA || field == T38_FIELD_HDLC_FCS_OK ||
                    field == T38_FIELD_HDLC_FCS_OK_SIG_END))
      for (int i = 0; i < len; ++i)
        self->collecting.push_back(bit_reverse8(buf[i]));
    if (field == T38_FIELD_HDLC_FCS_OK || field == T38_FIELD_HDLC_FCS_OK_SIG_END) {
      self->frames.push_back(self->collecting);
      self->collecting.clear();
    }
    return 0;
  }

  t38_core_state_t* core = nullptr;
  UdptlSender udptl{0, 400};
  std::vector<Bytes> datagrams;
  std::vector<uint8_t> collecting;
  std::vector<std::vector<uint8_t>> frames;
};

// A T.31 modem on a T.38 media line, with what it says to its DTE kept.
struct ModemOnT38 {
  ModemOnT38()
      : engine(
            [this](const uint8_t* d, size_t n) { dte.append(reinterpret_cast<const char*>(d), n); },
            [](const std::string&) {}, [] {}, [] {},
            [this](const uint8_t* ifp, int len, int count) { line.sendIfp(ifp, len, count); }),
        line(engine, "127.0.0.1") {
    sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(sock, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(sock, reinterpret_cast<sockaddr*>(&a), &n);
    engine.selectClass("1");
    line.useT38("127.0.0.1", ntohs(a.sin_port), T38Attributes{});
  }
  ~ModemOnT38() { ::close(sock); }

  void command(const std::string& name, const std::string& arg) {
    engine.command(sim::AtCommand{name, arg});
  }
  void feed(const std::vector<Bytes>& datagrams) {
    for (const Bytes& d : datagrams)
      line.datagramIn(d.data(), d.size());
  }
  // Line time passes; what the modem sent goes to the far end's decoder.
  void run(FarEnd& far, int ticks) {
    for (int i = 0; i < ticks; ++i) {
      line.tick();
      uint8_t buf[2048];
      ssize_t n;
      while ((n = ::recv(sock, buf, sizeof buf, 0)) > 0)
        if (auto p = parseUdptl(buf, static_cast<size_t>(n)))
          t38_core_rx_ifp_packet(far.core, p->primary.data(), static_cast<int>(p->primary.size()),
                                 p->seq);
    }
  }

  std::string dte;
  sim::Class1Engine engine;
  MediaLine line;
  int sock = -1;
};


} // namespace

TEST(MediaLine, FramesTheDteCannotTakeAreDroppedAndDisArrivesWithEcm) {
  ModemOnT38 modem;
  FarEnd far;
  // An error correction frame of 256 octets ending in the IFP packet D0 01 20
  // (V.17 14400, HDLC FCS-OK), while the DTE waits for nothing.
  std::vector<uint8_t> ecm(260, 0x5A);
  ecm[0] = 0xFF, ecm[1] = 0x03, ecm[2] = 0x06;
  const auto ecmDatagrams = far.frame(T38_DATA_V17_14400, ecm);
  const Bytes fcsOk = {0xD0, 0x01, 0x20};
  EXPECT_EQ(parseUdptl(ecmDatagrams.back().data(), ecmDatagrams.back().size())->primary, fcsOk);
  modem.feed(ecmDatagrams);
  EXPECT_EQ(modem.dte, "");

  // Dialled and connected: the DTE now waits for the far end's first frame.
  modem.command("D", "T502");
  modem.engine.callEvent(sim::CallEvent::Connected);
  modem.dte.clear();
  // 130 DLE octets would be doubled past the AT interpreter's 256 octets.
  std::vector<uint8_t> dles(130, kDle);
  dles[0] = 0xFF, dles[1] = 0x03;
  modem.feed(far.frame(T38_DATA_V21, dles));
  EXPECT_EQ(modem.dte, "");
  modem.feed(far.frame(T38_DATA_V21, disFrame()));

  std::vector<uint8_t> got = testsupport::dataToDte(modem.dte);
  ASSERT_EQ(got.size(), disFrame().size() + 2) << modem.dte;
  EXPECT_TRUE(crc_itu16_check(got.data(), static_cast<int>(got.size())));
  got.resize(got.size() - 2);
  EXPECT_EQ(got, disFrame());
}

// After CFR the DTE asks for page data at 14400 bit/s; the far end's block
// of error correction frames (a full one of 256 data octets, DLE octets in
// it) arrives as T.38 HDLC data and the DTE finds the frames in its bit
// stream, the block's end reported as the carrier's.
TEST(MediaLine, EcmFramesReachADteWaitingForPageDataAsItsBitStream) {
  ModemOnT38 modem;
  FarEnd far;
  // Off hook (the class 1 commands need it), past the wait for V.21 frames.
  modem.command("D", "T502");
  modem.engine.callEvent(sim::CallEvent::Connected);
  modem.engine.escape();
  modem.command("+FRM", "=146");
  ASSERT_TRUE(modem.engine.receivingPageData());
  modem.dte.clear();
  std::vector<std::vector<uint8_t>> block;
  std::vector<Bytes> datagrams;
  for (uint8_t n = 0; n < 3; ++n) {
    std::vector<uint8_t> frame{0xFF, 0x03, 0x06, n};
    for (int i = 0; i < (n == 2 ? 30 : 256); ++i)
      frame.push_back(static_cast<uint8_t>(i % 7 == 0 ? kDle : i * 11 + n));
    block.push_back(frame);
    auto d = far.frame(T38_DATA_V17_14400, frame);
    datagrams.insert(datagrams.end(), d.begin(), d.end());
  }
  modem.feed(datagrams);
  far.datagrams.clear();
  t38_core_send_data(far.core, T38_DATA_V17_14400, T38_FIELD_HDLC_SIG_END, nullptr, 0,
                     T38_PACKET_CATEGORY_IMAGE_DATA_END);
  modem.feed(far.datagrams);

  ASSERT_NE(modem.dte.find("NO CARRIER"), std::string::npos) << "the block's end";
  const std::vector<uint8_t> bits = testsupport::dataToDte(modem.dte);
  faxengine::hdlc::Decoder dte;
  std::vector<std::vector<uint8_t>> got;
  dte.Put(bits.data(), bits.size(), got);
  EXPECT_EQ(got, block);
  EXPECT_EQ(modem.line.ecmFramesReceived(), 3);
}

// Also: a line told to keep error correction off clears it from the DIS.
TEST(MediaLine, DteFramesAreBoundedAndDisLeavesWithoutEcmWhenKeptOff) {
  sim::T31Guard::keepEcmOffOnT38(true);
  ModemOnT38 modem;
  FarEnd far;
  modem.command("A", "");
  modem.engine.callEvent(sim::CallEvent::Answered);
  modem.run(far, 400); // CED, then the V.21 preamble: CONNECT
  ASSERT_NE(modem.dte.find("CONNECT"), std::string::npos) << modem.dte;
  // A frame far longer than T.31's frame buffer, then the DIS.
  std::vector<uint8_t> data(600, 0x55);
  data[0] = 0xFF, data[1] = 0x03;
  data.push_back(kDle), data.push_back(kEtx);
  modem.engine.dteData(data.data(), data.size());
  modem.run(far, 600); // 284 octets at 300 bit/s
  std::vector<uint8_t> dis;
  for (uint8_t b : disFrame()) {
    if (b == kDle)
      dis.push_back(kDle);
    dis.push_back(b);
  }
  dis.push_back(kDle), dis.push_back(kEtx);
  modem.engine.dteData(dis.data(), dis.size());
  modem.run(far, 200);

  sim::T31Guard::keepEcmOffOnT38(false);
  ASSERT_EQ(far.frames.size(), 2u) << modem.dte;
  EXPECT_LE(far.frames[0].size(), static_cast<size_t>(T31_MAX_HDLC_LEN));
  std::vector<uint8_t> want = disFrame();
  want[6] &= static_cast<uint8_t>(~(kEcmBit | 0x40));
  EXPECT_EQ(far.frames[1], want);
}
