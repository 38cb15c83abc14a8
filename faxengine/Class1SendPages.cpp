// Class 1 sending after training: page start and end, the post-page
// message and its answer, and DCN with the hang-up.

#include "faxengine/Class1SendMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

namespace {
constexpr int32_t kHangupTicks = 26;
constexpr int kPostPageAttempts = 3;
constexpr int kPostPageGapMs = 40;
constexpr int kPostPageRetryMs = 500;
} // namespace

// States 23 and 28 to 34: page start and end, and the post-page exchange.
void Class1SendMachine::PageStates(MachineEvent& ev) {
  switch (m_state) {
  case ssPageStart:
    if (m_restartPage) {
      m_restartPage = false;
      if (int rc = m_pages.RestartPage()) {
        Fail(rc);
        break;
      }
    }
    StartPage();
    break;
  case ssPageEnd:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.outUsed) {
      const uint8_t end[2] = {t30::kDle, t30::kEtx};
      m_s.Port().sendBlock(end, 2);
      // The modem answers once it has sent all the page data it holds: with
      // a deep buffer (a USB modem, a pseudo-terminal) that is many seconds
      // of line time, so the wait is the page timeout, not a response's.
      m_s.ArmTimeout(kPageTicks);
      m_state = ssPageSent;
    } else {
      DrainInput();
    }
    break;
  default:
    PostPage(ev);
    break;
  }
}

void Class1SendMachine::PostPage(MachineEvent& ev) {
  switch (m_state) {
  case ssPageSent:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("OK")) {
      m_attempts = 0;
      m_s.SetStatus(fpSendPageStatus);
      m_state = ssPostPageTry;
    } else if (ev.Has("ERROR") || ev.Has("RRIER")) {
      // The line dropped under the page (NO CARRIER, then ERROR): the OK
      // that ends a page will not come.
      Fail(ecFaxBadModemResult);
    }
    break;
  case ssPostPageTry:
    if (++m_attempts > kPostPageAttempts) {
      Fail(ecTimeout);
      break;
    }
    // The first post-page message follows the page after the 75 ms of
    // silence T.30 asks between signals (with the 40 ms every modulation
    // command waits); a repeat after an unanswered one waits longer.
    TalkHdlc(m_attempts == 1 ? kPostPageGapMs : kPostPageRetryMs);
    m_state = ssPostPageConnect;
    break;
  case ssPostPageConnect:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      SendFrame(PostPageFrame());
      m_state = ssPostPageSent;
    }
    break;
  case ssPostPageSent:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("OK")) {
      ListenHdlc(); // the answer follows our carrier at once
      m_s.ArmTimeout(kFrameWaitTicks);
      m_carrierSeen = false;
      m_state = ssPostPageAnswer;
    }
    break;
  case ssPostPageAnswer:
    if (ev.timeout) {
      // Any character ends the modem's receive command.
      m_s.SendText(" ");
      m_state = ssPostPageTry;
    } else if (ev.Has("CONNECT")) {
      m_carrierSeen = true;
    } else if (ev.Has("ERROR")) {
      m_state = ssPostPageTry;
    } else if (ev.Has("OK") && !LastFinal()) {
      ListenHdlc();
    } else if (ev.Has("OK")) {
      AfterPostPage();
    }
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
}

void Class1SendMachine::AfterPostPage() {
  if (m_proto.ecm) {
    AfterEcmAnswer();
    return;
  }
  const FrameKind kind = LastKind();
  if (kind == FrameKind::Rtn) {
    m_s.SetStatus(fpPageError);
    m_restartPage = true;
    FallBack();
    return;
  }
  if (kind != FrameKind::Mcf && kind != FrameKind::Rtp) {
    m_state = ssPostPageTry; // an answer that is none of them: ask again
    return;
  }
  PageConfirmed(kind);
}

// The receiver has the page: on to the next one, or DCN.
void Class1SendMachine::PageConfirmed(FrameKind kind) {
  m_s.SetStatus(fpPageOK);
  if (!m_pages.MorePages()) {
    TalkHdlc();
    m_state = ssDcnConnect;
    return;
  }
  if (int rc = m_pages.AdvancePage()) {
    Fail(rc);
    return;
  }
  if (kind == FrameKind::Mcf) {
    Modulation("AT+FTM=" + PageCode());
    m_state = ssPageCommand;
  } else {
    TalkHdlc();
    m_state = ssSendDcs;
  }
}

void Class1SendMachine::Hangup(MachineEvent& ev) {
  switch (m_state) {
  case ssDcnConnect:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      SendFrame(t30::BuildFrame(t30::fcfDcn, {}, true));
      m_state = ssDcnSent;
    }
    break;
  case ssDcnSent:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("OK")) {
      m_s.SendText("ATH\r");
      m_s.ArmTimeout(kHangupTicks);
      m_state = ssHangupReply;
    }
    break;
  case ssHangupReply:
    if (ev.timeout) {
      m_s.HangUpSend();
      m_state = ssFaxSent;
    } else if (ev.Has("OK")) {
      m_state = ssFaxSent;
    }
    break;
  }
}

// A Class 1 modem leaves the T.30 frames to the program: a call cancelled
// once the remote has answered ends with our DCN, so that the remote fax
// machine hears that the call is over instead of waiting for its timers and
// reporting a broken call.
void Class1SendMachine::SayGoodbye() {
  constexpr int kGoodbyeMs = 3000;
  if (m_failedIn < ssSendTsi || m_failedIn > ssPostPageAnswer)
    return;
  // Training data is a stream like a page: ended by DLE ETX. (A page's
  // stream was closed before this.)
  if (m_failedIn == ssTraining)
    m_s.CloseDataStream(nullptr);
  // Any character ends a frame reception under way with OK; in command
  // mode AT is answered OK too.
  m_s.Port().discardInput();
  m_s.SendText("AT\r");
  m_s.AwaitResult(kGoodbyeMs);
  m_s.Port().discardInput();
  FaxSession::DelayMs(40);
  m_s.SendText("AT+FTH=3\r");
  if (!m_s.AwaitReply("CONNECT", kGoodbyeMs))
    return;
  SendFrame(t30::BuildFrame(t30::fcfDcn, {}, true));
  m_s.AwaitResult(kGoodbyeMs);
}

} // namespace faxengine
