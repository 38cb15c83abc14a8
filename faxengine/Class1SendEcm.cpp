// Class 1 sending with error correction (T.30 Annex A): PPS after each
// block, the frames a PPR asks for sent again, RR while the receiver is not
// ready, CTC with a lower speed after the fourth PPR of a block, and EOR
// (the frames still missing given up) when there is no lower speed left.

#include "faxengine/Class1SendMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

namespace {
// T.30 A.4.3: after the fourth PPR for a block the sender continues at a
// lower speed (CTC) rather than asking the same line again.
constexpr int kPprBeforeCtc = 4;
constexpr int kRrGapMs = 1000;
// T.30's T5: a receiver that stays busy for 60 s (60 RNRs a second apart)
// ends the call.
constexpr int kMaxRnr = 60;
constexpr uint8_t kPpsNull = 0x00;
} // namespace

// The post-page message: MPS or EOP, with error correction PPS-NULL after a
// block that does not end the page, PPS-MPS or PPS-EOP after the last one,
// or RR while the receiver is busy.
std::vector<uint8_t> Class1SendMachine::PostPageFrame() {
  const uint8_t pageEnd = m_pages.MorePages() ? t30::fcfMps : t30::fcfEop;
  if (!m_proto.ecm)
    return t30::BuildFrame(pageEnd, {}, true);
  if (m_sendRr)
    return t30::BuildFrame(t30::fcfRr, {}, true);
  const EcmPage& ecm = m_pages.Ecm();
  // EOR's FIF is the post-page message alone.
  if (m_sendEor)
    return t30::BuildFrame(t30::fcfEor, {ecm.LastBlock() ? pageEnd : kPpsNull}, true);
  // FIF: the post-page message, page and block counters, frames in the block - 1.
  const std::vector<uint8_t> fif{
      ecm.LastBlock() ? pageEnd : kPpsNull, static_cast<uint8_t>(m_rec.pageNumber - 1),
      static_cast<uint8_t>(ecm.Block()), static_cast<uint8_t>(ecm.FramesInBlock() - 1)};
  return t30::BuildFrame(t30::fcfPps, fif, true);
}

void Class1SendMachine::SendEcmFrames(const uint8_t* wanted, bool longTraining) {
  m_pages.QueueEcmBlock(wanted);
  Modulation("AT+FTM=" + (longTraining ? Code() : PageCode()));
  m_state = ssEcmData;
}

void Class1SendMachine::AfterEcmAnswer() {
  const FrameKind kind = LastKind();
  m_sendRr = kind == FrameKind::Rnr;
  if (!m_sendRr)
    m_rnrCount = 0;
  if (kind == FrameKind::Rnr) {
    if (++m_rnrCount > kMaxRnr) {
      Fail(ecTimeout);
      return;
    }
    m_attempts = 0;
    FaxSession::DelayMs(kRrGapMs);
    m_state = ssPostPageTry;
    return;
  }
  if (kind == FrameKind::Ppr && !m_sendEor) {
    m_s.SetStatus(fpPageError);
    m_rec.ecmFramesResent += m_pages.Ecm().Requested(m_pprMap);
    if (++m_pprCount % kPprBeforeCtc != 0) {
      SendEcmFrames(m_pprMap, false);
    } else if (m_local.Below(m_remote, m_index) != 0) {
      ContinueToCorrect();
    } else {
      // At the lowest speed both sides have, more tries would not do
      // better: the block goes as it is, and the next one follows.
      m_sendEor = true;
      m_attempts = 0;
      m_state = ssPostPageTry;
    }
    return;
  }
  const bool given = m_sendEor && kind == FrameKind::Err;
  if (kind != FrameKind::Mcf && !given) {
    m_state = ssPostPageTry; // no answer we know: ask again
    return;
  }
  if (given)
    m_rec.ecmFramesLost += m_pages.Ecm().Requested(m_pprMap);
  m_sendEor = false;
  m_pprCount = 0;
  EcmPage& ecm = m_pages.Ecm();
  if (!ecm.LastBlock()) {
    ecm.NextBlock();
    SendEcmFrames(nullptr, false);
    return;
  }
  PageConfirmed(FrameKind::Mcf); // after ERR, too, the next page follows at once
}

// CTC names the speed of the frames that follow; the receiver answers CTR
// and trains again, so the frames go with the long training.
void Class1SendMachine::ContinueToCorrect() {
  if (const int lower = m_local.Below(m_remote, m_index)) {
    m_index = lower;
    m_proto.bps = t30::SpeedOfIndex(m_index);
    m_s.SetStatus(fpSessionParams);
  }
  TalkHdlc(40);
  m_state = ssCtcConnect;
}

// States 48 to 51: a block's frames, and CTC with its CTR.
void Class1SendMachine::EcmStates(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  switch (m_state) {
  case ssEcmData:
    if (ev.Has("CONNECT")) {
      ArmPageWait(false);
      m_state = ssApfPageData;
    } else if (ev.Has("ERROR") || ev.Has("RRIER")) {
      Fail(ecFaxBadModemResult);
    }
    break;
  case ssCtcConnect:
    if (ev.Has("CONNECT")) {
      SendFrame(t30::BuildFrame(t30::fcfCtc, t30::BuildCtcFif(m_index), true));
      m_state = ssCtcSent;
    }
    break;
  case ssCtcSent:
    if (ev.Has("OK")) {
      ListenHdlc();
      m_s.ArmTimeout(kFrameWaitTicks);
      m_state = ssCtcAnswer;
    }
    break;
  case ssCtcAnswer:
    if (ev.Has("OK") && !LastFinal()) {
      ListenHdlc();
    } else if (ev.Has("OK") && LastKind() == FrameKind::Ctr) {
      SendEcmFrames(m_pprMap, true);
    } else if (ev.Has("OK") || ev.Has("ERROR")) {
      Fail(ecFaxBadModemResult);
    }
    break;
  }
}

} // namespace faxengine
