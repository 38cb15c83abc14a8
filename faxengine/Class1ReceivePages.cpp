// Class 1 receiving after training: page data into the received file, the
// post-page message and MCF, and DCN with the hang-up.

#include "faxengine/Class1ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

void Class1ReceiveMachine::PageStart() {
  if (m_ecmInPage) {
    // The next block of the page, or frames of this block again.
    m_dle.Reset();
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = rsPageData;
    return;
  }
  ++m_rec.pageNumber;
  m_rejected = false;
  if (int rc = BeginPage()) {
    Fail(rc);
    return;
  }
  if (m_proto.ecm) {
    m_ecmInPage = true;
    m_ecm.StartBlock();
    m_blockFrames = 0;
  }
  m_s.SetStatus(fpGetPage);
  m_state = rsPageData;
}

void Class1ReceiveMachine::PageData(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  bool ended = false;
  if (m_proto.ecm)
    EcmData(ended);
  else if (!StorePageData(false, ended))
    return;
  m_s.ArmTimeout(m_proto.responseTicks);
  if (ended)
    m_state = rsPageCarrierEnd;
}

// States 27 to 30: the post-page message and MCF.
void Class1ReceiveMachine::PostPage(MachineEvent& ev) {
  if (m_state != rsFinishPage && ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  switch (m_state) {
  case rsPageCarrierEnd:
    if (ev.Has("RRIER") || ev.Has("OK")) {
      ListenHdlc();
      m_state = rsPostPageFrames;
    }
    break;
  case rsPostPageFrames:
    if (ev.Has("OK") && !LastFinal()) {
      ListenHdlc();
    } else if (ev.Has("OK")) {
      m_mps = LastKind() == FrameKind::Mps;
      m_s.SetStatus(fpGetPageResult);
      m_state = rsFinishPage;
    }
    break;
  case rsFinishPage:
    if (m_proto.ecm) {
      EcmAnswer();
      break;
    }
    FinishPageWithoutEcm();
    break;
  case rsSendMcf:
    if (ev.Has("CONNECT")) {
      SendFrame(m_reply);
    } else if (ev.Has("OK") && m_retrain) {
      // After RTP or RTN the sender trains again with DCS (and may send
      // the page again), or ends the call.
      m_retrain = false;
      ListenHdlc();
      m_s.ArmTimeout(kFrameWaitTicks);
      m_state = rsPhaseB;
    } else if (ev.Has("OK") && m_mps) {
      // The next page, block or frames again; after CTC with the long
      // training of a new speed.
      Modulation("AT+FRM=" + (m_longTraining ? Code() : PageCode()));
      m_longTraining = false;
      m_state = rsPageConnect;
    } else if (ev.Has("OK")) {
      ListenHdlc(); // DCN follows our MCF at once
      FaxReceived();
      m_state = rsWaitDcn;
    }
    break;
  }
}

// A page without error correction: stored, and answered by how well its
// rows came through.
void Class1ReceiveMachine::FinishPageWithoutEcm() {
  PageQuality quality;
  if (int rc = FinishReceivedPage(quality)) {
    Fail(rc);
    return;
  }
  uint8_t answer = t30::fcfMcf;
  if (quality == PageQuality::Bad) {
    answer = t30::fcfRtn;
    m_s.SetStatus(fpPageError);
  } else if (quality == PageQuality::Poor) {
    answer = t30::fcfRtp;
  }
  // RTN asks for training whatever follows; RTP only before another page.
  m_retrain = quality == PageQuality::Bad || (quality == PageQuality::Poor && m_mps);
  m_rejected = quality == PageQuality::Bad;
  m_reply = t30::BuildFrame(answer, {}, true);
  TalkHdlc();
  m_s.SetStatus(fpCheckMorePages);
  m_state = rsSendMcf;
}

// States 31, 32 and 35: DCN, hang-up and the next call.
void Class1ReceiveMachine::CallEnd(MachineEvent& ev) {
  if (m_state == rsWaitDcn) {
    if (ev.timeout) {
      m_s.HangUpReceive();
      m_state = rsCallOver;
    } else if (ev.Has("OK") && LastFinal()) {
      m_s.SendText("ATH\r");
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = rsHangupReply;
    } else if (ev.Has("OK")) {
      ListenHdlc();
    } else if (ev.Has("RRIER") || ev.Has("ERROR")) {
      m_s.SendText("ATH\r");
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = rsHangupReply;
    }
    return;
  }
  if (m_state == rsHangupReply) {
    if (ev.timeout || ev.Has("OK")) {
      m_s.SetStatus(fpGotHangup);
      m_state = rsCallOver;
    }
  }
}

} // namespace faxengine
