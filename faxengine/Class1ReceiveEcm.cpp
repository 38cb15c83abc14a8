// Class 1 receiving with error correction (T.30 Annex A): the frames of
// each block collected from the page carrier, the PPS answered with MCF
// when every frame is there (the block then joins the page) or with a PPR
// naming the missing ones, CTC answered with CTR before the frames come
// again at a new speed, and EOR (the sender gives up on the missing frames)
// answered with ERR, the block joining the page as it is.

#include "faxengine/Class1ReceiveMachine.h"

#include "platform/FxErrors.h"

#include <algorithm>
#include <bit>

namespace faxengine {

using t30::FrameKind;

namespace {
constexpr uint8_t kPpsNull = 0x00;
} // namespace

// Page carrier bytes up to DLE ETX into the block's frames.
void Class1ReceiveMachine::EcmData(bool& ended) {
  std::vector<uint8_t> out;
  uint8_t b;
  ended = false;
  while (!ended && m_s.Port().readByte(b) == 0)
    m_dle.Decode(&b, 1, out, ended);
  m_ecm.Put(out.data(), out.size());
  m_rec.pageBytesDone += static_cast<long>(out.size());
}

// State 29 with error correction: the answer to PPS or CTC.
void Class1ReceiveMachine::EcmAnswer() {
  const FrameKind kind = LastKind();
  if (kind == FrameKind::Ctc) {
    // The FIF names the new speed as a DCS does; the frames follow it with
    // the long training. A CTC without FIF (some senders send it so) keeps
    // the speed: read as a DCS, its missing rate bits would say 2400.
    if (m_lastFif.size() >= 2) {
      m_index = t30::ReadDcs(m_lastFif.data(), m_lastFif.size()).index;
      m_proto.bps = t30::SpeedOfIndex(m_index);
    }
    m_longTraining = true;
    m_reply = t30::BuildFrame(t30::fcfCtr, {}, true);
    m_mps = true;
  } else if (kind == FrameKind::Pps && m_lastFif.size() >= 4) {
    // FIF: post-page message, page and block counters, frames - 1. Some
    // senders count only the frames of the last transmission there, so the
    // block has as many frames as the largest count it was given.
    m_blockFrames = std::max(m_blockFrames, m_lastFif[3] + 1);
    const int frames = m_blockFrames;
    if (m_ecm.Complete(frames)) {
      EcmBlockDone(static_cast<uint8_t>(m_lastFif[0] & 0xFE), frames, t30::fcfMcf);
      return;
    }
    uint8_t map[kPprMapBytes];
    m_ecm.MissingMap(frames, map);
    for (uint8_t b : map)
      m_rec.ecmFramesResent += std::popcount(b);
    m_reply = t30::BuildFrame(t30::fcfPpr, std::vector<uint8_t>(map, map + kPprMapBytes), true);
    m_mps = true;
  } else if (kind == FrameKind::Eor && !m_lastFif.empty()) {
    // The frames still missing are lost: the rows they held are lost with
    // them, and the rows they spoil are counted bad when the page is decoded.
    uint8_t map[kPprMapBytes];
    m_ecm.MissingMap(m_blockFrames, map);
    bool lost = false;
    for (int n = 0; n < m_blockFrames; ++n) {
      const bool missing = (map[n / 8] >> (n % 8)) & 1;
      m_rec.ecmFramesLost += missing;
      if (missing && !lost)
        m_file.DataLost(); // each run of lost frames
      lost = missing;
    }
    EcmBlockDone(static_cast<uint8_t>(m_lastFif[0] & 0xFE), m_blockFrames, t30::fcfErr);
    return;
  } else {
    ListenHdlc(); // not a frame of this phase: the sender repeats its own
    m_state = rsPostPageFrames;
    return;
  }
  TalkHdlc();
  m_state = rsSendMcf;
}

// The block joins the page (every frame of it, or after EOR the frames that
// came), which ends with a PPS or EOR naming MPS or EOP (NULL: more blocks
// follow); `answer` is MCF or ERR.
void Class1ReceiveMachine::EcmBlockDone(uint8_t pageEnd, int frames, uint8_t answer) {
  const std::vector<uint8_t> data = m_ecm.Data(frames);
  if (int rc = m_file.Put(data.data(), data.size(), false)) {
    Fail(rc);
    return;
  }
  m_ecm.StartBlock();
  m_blockFrames = 0;
  m_reply = t30::BuildFrame(answer, {}, true);
  m_mps = true;
  if (pageEnd != kPpsNull) {
    m_ecmInPage = false;
    PageQuality quality; // ERR or MCF whatever the rows: the sender is done with them
    if (int rc = FinishReceivedPage(quality)) {
      Fail(rc);
      return;
    }
    m_mps = pageEnd == (t30::fcfMps & 0xFE);
    m_s.SetStatus(fpCheckMorePages);
  }
  TalkHdlc();
  m_state = rsSendMcf;
}

} // namespace faxengine
