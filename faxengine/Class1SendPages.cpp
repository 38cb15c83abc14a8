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
  case 23:
    if (m_restartPage) {
      m_restartPage = false;
      if (int rc = m_pages.RestartPage()) {
        Fail(rc);
        break;
      }
    }
    StartPage();
    break;
  case 28:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.outUsed) {
      const uint8_t end[2] = {t30::kDle, t30::kEtx};
      m_s.Port().sendBlock(end, 2);
      // The modem answers once it has sent all the page data it holds: with
      // a deep buffer (a USB modem, a pseudo-terminal) that is many seconds
      // of line time, so the wait is the page timeout, not a response's.
      m_s.ArmTimeout(kPageTicks);
      m_state = 29;
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
  case 29:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("OK")) {
      m_attempts = 0;
      m_s.SetStatus(fpSendPageStatus);
      m_state = 30;
    } else if (ev.Has("ERROR") || ev.Has("RRIER")) {
      // The line dropped under the page (NO CARRIER, then ERROR): the OK
      // that ends a page will not come.
      Fail(ecFaxBadModemResult);
    }
    break;
  case 30:
    if (++m_attempts > kPostPageAttempts) {
      Fail(ecTimeout);
      break;
    }
    // The first post-page message follows the page after the 75 ms of
    // silence T.30 asks between signals (with the 40 ms every modulation
    // command waits); a repeat after an unanswered one waits longer.
    TalkHdlc(m_attempts == 1 ? kPostPageGapMs : kPostPageRetryMs);
    m_state = 31;
    break;
  case 31:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      const bool more = m_pages.MorePages();
      SendFrame(t30::BuildFrame(more ? t30::fcfMps : t30::fcfEop, {}, true));
      m_state = 32;
    }
    break;
  case 32:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("OK")) {
      ListenHdlc(); // the answer follows our carrier at once
      m_s.ArmTimeout(kFrameWaitTicks);
      m_carrierSeen = false;
      m_state = 34;
    }
    break;
  case 34:
    if (ev.timeout) {
      // Any character ends the modem's receive command.
      m_s.SendText(" ");
      m_state = 30;
    } else if (ev.Has("CONNECT")) {
      m_carrierSeen = true;
    } else if (ev.Has("ERROR")) {
      m_state = 30;
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
  const FrameKind kind = LastKind();
  if (kind == FrameKind::Rtn) {
    m_s.SetStatus(fpPageError);
    m_restartPage = true;
    FallBack();
    return;
  }
  if (kind != FrameKind::Mcf && kind != FrameKind::Rtp) {
    m_state = 30; // an answer that is none of them: ask again
    return;
  }
  m_s.SetStatus(fpPageOK);
  if (!m_pages.MorePages()) {
    TalkHdlc();
    m_state = 35;
    return;
  }
  if (int rc = m_pages.AdvancePage()) {
    Fail(rc);
    return;
  }
  if (kind == FrameKind::Mcf) {
    Modulation("AT+FTM=" + PageCode());
    m_state = 18;
  } else {
    TalkHdlc();
    m_state = 13;
  }
}

void Class1SendMachine::Hangup(MachineEvent& ev) {
  switch (m_state) {
  case 35:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      SendFrame(t30::BuildFrame(t30::fcfDcn, {}, true));
      m_state = 36;
    }
    break;
  case 36:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("OK")) {
      m_s.SendText("ATH\r");
      m_s.ArmTimeout(kHangupTicks);
      m_state = 37;
    }
    break;
  case 37:
    if (ev.timeout) {
      m_s.HangUpSend();
      m_state = 44;
    } else if (ev.Has("OK")) {
      m_state = 44;
    }
    break;
  }
}

} // namespace faxengine
