// Error-corrected page frames between a Class 1 DTE's bit stream and T.38
// HDLC fields, checked with spandsp's own T.38 core at the other side: it
// encodes what a T.38 fax terminal sends and decodes what the bridge sends.

#include "sipline/T38EcmBridge.h"
#include "sipline/T38Ifp.h"

#include "faxengine/HdlcFraming.h"

#include <spandsp.h>

#include <gtest/gtest.h>

using namespace tolvane::sipline;
using Frame = std::vector<uint8_t>;

namespace {

uint8_t reversed(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

// An ECM frame: address, control, FCD, frame number, data with DLE octets.
Frame ecmFrame(uint8_t number, size_t data) {
  Frame f{0xFF, 0x03, 0x06, number};
  for (size_t i = 0; i < data; ++i)
    f.push_back(static_cast<uint8_t>(i % 5 == 0 ? 0x10 : (i * 37 + number) & 0xFF));
  return f;
}

// spandsp's T.38 core at the far end: collects the HDLC frames and the
// non-ECM data that arrive, and encodes packets for us.
struct FarCore {
  t38_core_state_t* core;
  std::vector<Frame> frames;
  std::vector<int> frameTypes; // data type of each good frame
  int sigEnds = 0;
  Frame current;
  Frame nonEcm; // in the DTE's bit order
  bool nonEcmEnded = false;
  std::vector<Frame> sent;
  uint16_t seq = 0;

  explicit FarCore(int version) {
    core = t38_core_init(
        nullptr, [](t38_core_state_t*, void*, int) { return 0; }, &FarCore::data,
        [](t38_core_state_t*, void*, int, int) { return 0; }, this,
        [](t38_core_state_t*, void* user, const uint8_t* buf, int len, int) {
          static_cast<FarCore*>(user)->sent.emplace_back(buf, buf + len);
          return 0;
        },
        this);
    t38_set_t38_version(core, version);
  }
  ~FarCore() { t38_core_free(core); }
  static int data(t38_core_state_t*, void* user, int type, int field, const uint8_t* buf, int len) {
    auto* self = static_cast<FarCore*>(user);
    switch (field) {
    case T38_FIELD_HDLC_DATA:
      for (int i = 0; i < len; ++i)
        self->current.push_back(reversed(buf[i]));
      break;
    case T38_FIELD_HDLC_FCS_OK:
      self->frames.push_back(self->current);
      self->frameTypes.push_back(type);
      self->current.clear();
      break;
    case T38_FIELD_HDLC_SIG_END:
      ++self->sigEnds;
      break;
    case T38_FIELD_T4_NON_ECM_DATA:
    case T38_FIELD_T4_NON_ECM_SIG_END:
      for (int i = 0; i < len; ++i)
        self->nonEcm.push_back(reversed(buf[i]));
      self->nonEcmEnded = field == T38_FIELD_T4_NON_ECM_SIG_END;
      break;
    default:
      break;
    }
    return 0;
  }
  void receive(const uint8_t* ifp, size_t len) {
    t38_core_rx_ifp_packet(core, ifp, static_cast<int>(len), seq++);
  }
};

// Packets as T.31 sends a DTE's control frame at V.21 and then a fast-rate
// burst of the DTE's bit stream as non-ECM data, in chunks.
void sendControl(T38EcmBridge& bridge, int version, const Frame& frame,
                 const T38EcmBridge::Emit& emit) {
  Frame line;
  for (uint8_t b : frame)
    line.push_back(reversed(b));
  auto p = encodeIfpData(T38_DATA_V21, {{kHdlcData, line}, {kHdlcFcsOk, {}}}, version);
  bridge.toLine(p.data(), p.size(), 1, emit);
}

void sendBurst(T38EcmBridge& bridge, int version, const Frame& dteBits,
               const T38EcmBridge::Emit& emit) {
  const uint8_t training[] = {static_cast<uint8_t>(T38_IND_V17_14400_LONG_TRAINING << 1)};
  bridge.toLine(training, 1, 3, emit);
  for (size_t at = 0; at < dteBits.size(); at += 54) {
    Frame chunk;
    for (size_t i = at; i < std::min(dteBits.size(), at + 54); ++i)
      chunk.push_back(reversed(dteBits[i]));
    const bool last = at + 54 >= dteBits.size();
    auto p = encodeIfpData(T38_DATA_V17_14400, {{last ? kT4NonEcmSigEnd : kT4NonEcmData, chunk}},
                           version);
    bridge.toLine(p.data(), p.size(), 1, emit);
  }
}

Frame dcs(bool ecm) {
  return {0xFF, 0x13, 0x83, 0x00, 0x46, 0x78, static_cast<uint8_t>(ecm ? 0x44 : 0x00)};
}

} // namespace

// After a DCS with error correction, the training check goes on as plain
// data and the page burst as HDLC frames, each reaching spandsp whole and
// at the page's rate; the block ends with HDLC signal end.
TEST(T38EcmBridge, DteFramesAfterAnEcmDcsReachATerminalAsHdlcFields) {
  for (int version : {0, 2}) {
    SCOPED_TRACE(version);
    T38EcmBridge bridge(version);
    FarCore far(version);
    int repeatsOfIndicator = 0;
    auto emit = [&](const uint8_t* p, size_t n, int count) {
      if (n == 1 && count == 3)
        ++repeatsOfIndicator;
      far.receive(p, n);
    };
    sendControl(bridge, version, dcs(true), emit);
    EXPECT_TRUE(bridge.ecmAgreed());
    ASSERT_EQ(far.frames.size(), 1u);
    EXPECT_EQ(far.frames[0], dcs(true)) << "control frames pass as they are";
    const Frame tcf(2700, 0x00);
    sendBurst(bridge, version, tcf, emit);
    EXPECT_EQ(far.nonEcm, tcf) << "the training check stays plain data";
    EXPECT_TRUE(far.nonEcmEnded);

    faxengine::hdlc::Encoder dte;
    dte.Flags(10);
    const std::vector<Frame> block{ecmFrame(0, 256), ecmFrame(1, 256), ecmFrame(2, 17)};
    for (const Frame& f : block)
      dte.Frame(f.data(), f.size());
    dte.Flags(5);
    far.frames.clear();
    far.frameTypes.clear();
    sendBurst(bridge, version, dte.Take(), emit);
    ASSERT_EQ(far.frames.size(), block.size());
    for (size_t i = 0; i < block.size(); ++i) {
      EXPECT_EQ(far.frames[i], block[i]) << "frame " << i;
      EXPECT_EQ(far.frameTypes[i], T38_DATA_V17_14400);
    }
    EXPECT_EQ(far.sigEnds, 1);
    EXPECT_EQ(bridge.framesToLine(), 3);
    EXPECT_EQ(repeatsOfIndicator, 2) << "indicators pass as T.31 sent them";

    // A DCS without error correction: the next bursts are plain data again.
    sendControl(bridge, version, dcs(false), emit);
    EXPECT_FALSE(bridge.ecmAgreed());
    far.nonEcm.clear();
    sendBurst(bridge, version, tcf, emit);
    const Frame page{0x00, 0x80, 0x7E, 0x7E, 0x55};
    sendBurst(bridge, version, page, emit);
    EXPECT_EQ(far.nonEcm.size(), tcf.size() + page.size());
    EXPECT_EQ(bridge.framesToLine(), 3);
  }
}

// A terminal's HDLC frames at the fast rate become a bit stream in which the
// DTE's own HDLC decoder finds them; a frame with a bad FCS and one whose
// packet was lost are left out, for error correction to ask again.
TEST(T38EcmBridge, TerminalHdlcFieldsReachTheDteAsAFramedBitStream) {
  for (int version : {0, 2}) {
    SCOPED_TRACE(version);
    T38EcmBridge bridge(version);
    FarCore far(version);
    t38_core_send_indicator(far.core, T38_IND_V17_14400_SHORT_TRAINING);
    const std::vector<Frame> block{ecmFrame(0, 256), ecmFrame(1, 256), ecmFrame(2, 256),
                                   ecmFrame(3, 40)};
    for (size_t i = 0; i < block.size(); ++i) {
      const Frame& f = block[i];
      // Sent in pieces as spandsp's terminal does; frame 1 is the damaged one.
      for (size_t at = 0; at < f.size(); at += 90) {
        Frame piece;
        for (size_t k = at; k < std::min(f.size(), at + 90); ++k)
          piece.push_back(reversed(f[k]));
        t38_core_send_data(far.core, T38_DATA_V17_14400, T38_FIELD_HDLC_DATA, piece.data(),
                           static_cast<int>(piece.size()), T38_PACKET_CATEGORY_IMAGE_DATA);
      }
      t38_core_send_data(far.core, T38_DATA_V17_14400,
                         i == 1 ? T38_FIELD_HDLC_FCS_BAD : T38_FIELD_HDLC_FCS_OK, nullptr, 0,
                         T38_PACKET_CATEGORY_IMAGE_DATA);
    }
    t38_core_send_data(far.core, T38_DATA_V17_14400, T38_FIELD_HDLC_SIG_END, nullptr, 0,
                       T38_PACKET_CATEGORY_IMAGE_DATA_END);

    // What T.31 would be given, decoded by spandsp's core as T.31 does.
    FarCore t31(version);
    const size_t lostPacket = 10; // a piece of frame 2
    for (size_t i = 0; i < far.sent.size(); ++i) {
      if (i == lostPacket)
        continue;
      const Frame& p = far.sent[i];
      auto out = bridge.fromLine(p.data(), p.size(), static_cast<uint16_t>(i));
      const Frame& given = out ? *out : p;
      t38_core_rx_ifp_packet(t31.core, given.data(), static_cast<int>(given.size()),
                             static_cast<uint16_t>(i));
    }
    EXPECT_TRUE(t31.frames.empty()) << "no HDLC fields reach T.31";
    EXPECT_TRUE(t31.nonEcmEnded) << "the signal end reaches T.31 as the end of the data";
    faxengine::hdlc::Decoder dte;
    std::vector<Frame> got;
    dte.Put(t31.nonEcm.data(), t31.nonEcm.size(), got);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], block[0]);
    EXPECT_EQ(got[1], block[3]);
    EXPECT_EQ(dte.BadFrames(), 0) << "nothing but whole frames and flags";
    EXPECT_EQ(bridge.framesFromLine(), 2);
  }
}
