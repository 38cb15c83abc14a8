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
    if (int rc = m_file.FinishPage(m_rec.remoteID)) {
      Fail(rc);
      break;
    }
    m_reply = t30::BuildFrame(t30::fcfMcf, {}, true);
    TalkHdlc();
    m_s.SetStatus(fpCheckMorePages);
    m_state = rsSendMcf;
    break;
  case rsSendMcf:
    if (ev.Has("CONNECT")) {
      SendFrame(m_reply);
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
