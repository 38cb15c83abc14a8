// The Class 1 send machine: dialling, the T.30 exchange built here (TSI,
// DCS, training check, fall-back), page data, the post-page exchange and the
// job loop over the faxes of a send job.

#include "faxengine/Class1Machine.h"
#include "faxengine/SendMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

namespace {

using t30::FrameKind;

constexpr int32_t kFrameWaitTicks = 54;
constexpr int32_t kHangupTicks = 26;
constexpr int kPostPageAttempts = 3;

class Class1SendMachine final : public Class1MachineBase, public SendMachine {
public:
  explicit Class1SendMachine(FaxSession& s)
      : ModemMachine(s), Class1MachineBase(s), SendMachine(s) {}

protected:
  Kind KindOf(int state) const override {
    switch (state) {
    case 10:
    case 21:
    case 22:
    case 25:
    case 27:
    case 28:
      return Kind::Trigger;
    case 1:
    case 2:
    case 9:
    case 23:
    case 24:
    case 26:
    case 30:
    case 44:
    case 45:
    case 46:
      return Kind::Action;
    default:
      return Kind::Line;
    }
  }

  Loop LoopAfterTrigger() const override { return Loop::Return; }

  void Step(MachineEvent& ev) override;
  void OnFrame(const t30::Frame& frame) override;

private:
  void Setup();
  void DialResult(MachineEvent& ev);
  void Training(MachineEvent& ev);
  void PageStates(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void AfterPostPage();
  void FallBack();
  void Hangup(MachineEvent& ev);
  void SendTraining();

  t30::SpeedSet m_remote;
  bool m_cfr = false;
  bool m_carrierSeen = false;
  bool m_restartPage = false;
  int m_attempts = 0;
};

void Class1SendMachine::OnFrame(const t30::Frame& frame) {
  switch (t30::KindOfFcf(frame.fcf)) {
  case FrameKind::Ident:
    TakeRemoteIdent(frame);
    break;
  case FrameKind::Dis: {
    const t30::Capabilities dis = t30::ReadDis(frame.fif.data(), frame.fif.size());
    if ((m_proto.wantFine && !dis.fine) || (m_proto.wantWide && !dis.wide)) {
      Fail(ecFaxBadMachine);
      return;
    }
    m_remote = dis.speeds;
    m_index = m_local.Best(m_remote, m_proto.desiredBPS);
    m_proto.bps = t30::SpeedOfIndex(m_index);
    m_proto.fine = m_proto.wantFine;
    m_proto.wide = m_proto.wantWide;
    m_proto.scanTimeCode = dis.scanTime;
    m_proto.minBytesPerLine = MinBytesPerLine(dis.scanTime, m_proto.fine, m_proto.bps);
    m_s.SetStatus(fpSessionParams);
    break;
  }
  case FrameKind::Cfr:
    m_cfr = true;
    break;
  case FrameKind::Dcn:
    Fail(ecCancelRequested);
    break;
  default:
    // FTT and RTN act on the modem's OK after them; the rest is ignored.
    break;
  }
}

void Class1SendMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case 1:
    NextFax();
    break;
  case 2:
    Setup();
    break;
  case 3:
    if (ev.timeout || !ev.Has("OK")) {
      Fail(ecFaxInitError);
      break;
    }
    m_state = 9;
    break;
  case 9:
    Dial(11);
    break;
  case 11:
    DialResult(ev);
    break;
  case 12:
  case 13:
  case 14:
  case 15:
  case 16:
  case 17:
  case 18:
    Training(ev);
    break;
  case 35:
  case 36:
  case 37:
    Hangup(ev);
    break;
  case 44:
    m_s.DisarmTimeout();
    FaxSent();
    break;
  default:
    if (!SharedStep(ev))
      PageStates(ev);
    break;
  }
}

void Class1SendMachine::Setup() {
  if (int rc = m_pages.PrepareFirstPage()) {
    Fail(rc);
    return;
  }
  m_local = t30::ParseModulations(m_proto.class1CapsAnswer);
  m_index = m_local.Highest();
  m_s.SetStatus(fpInitModem);
  m_s.SendCommand("AT+FCLASS=1");
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = 3;
}

void Class1SendMachine::DialResult(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has("CONNECT")) {
    m_s.ArmTimeout(m_proto.responseTicks);
  } else if (Refused(ev, "RRIER")) {
    return;
  } else if (ev.Has("ERROR")) {
    ListenHdlc(); // a frame with a bad check: the remote repeats it
  } else if (ev.Has("OK")) {
    if (LastFinal()) {
      TalkHdlc(200);
      m_state = 12;
    } else {
      ListenHdlc();
    }
  }
}

void Class1SendMachine::SendTraining() {
  std::vector<uint8_t> tcf(t30::TrainingBytes(m_proto.bps), 0);
  tcf.push_back(t30::kDle);
  tcf.push_back(t30::kEtx);
  m_s.Port().sendBlock(tcf.data(), tcf.size());
}

// States 12 to 18: TSI and DCS, the training check, and the answer to it.
void Class1SendMachine::Training(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  const bool connect = ev.Has("CONNECT"), ok = ev.Has("OK");
  switch (m_state) {
  case 12:
    if (connect) {
      SendFrame(t30::BuildIdentFrame(t30::fcfTsi, m_rec.stationID));
      m_state = 13;
    }
    break;
  case 13:
    if (connect) {
      SendFrame(t30::BuildFrame(
          t30::fcfDcs, t30::BuildDcsFif(m_index, m_proto.fine, m_proto.wide, m_proto.scanTimeCode),
          true));
      m_state = 14;
    }
    break;
  case 14:
    if (ok) {
      Modulation("AT+FTM=" + Code());
      m_state = 15;
    }
    break;
  case 15:
    if (connect) {
      if (m_rec.softwareFlow)
        m_s.Port().setFlow({false, true, false});
      SendTraining();
      m_state = 16;
    }
    break;
  case 16:
    if (ok) {
      if (m_rec.softwareFlow)
        m_s.Port().setFlow({});
      m_cfr = false;
      ListenHdlc(); // the answer follows our carrier at once
      m_state = 17;
    }
    break;
  case 17:
    if ((ok && !LastFinal()) || ev.Has("ERROR")) {
      ListenHdlc();
    } else if (ok && m_cfr) {
      Modulation("AT+FTM=" + PageCode(), 200);
      m_state = 18;
    } else if (ok && LastKind() == FrameKind::Ftt) {
      FallBack();
    } else if (ok) {
      TalkHdlc(200);
      m_state = 13;
    }
    break;
  case 18:
    if (connect) {
      m_s.ArmTimeout(kXonWaitTicks);
      m_state = 21;
    }
    break;
  }
}

void Class1SendMachine::FallBack() {
  m_index = m_local.Below(m_remote, m_index);
  if (m_index == 0) {
    Fail(ecFaxTrainError);
    return;
  }
  m_proto.bps = t30::SpeedOfIndex(m_index);
  m_proto.minBytesPerLine = MinBytesPerLine(m_proto.scanTimeCode, m_proto.fine, m_proto.bps);
  TalkHdlc(200);
  m_state = 13;
}

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
      m_s.ArmTimeout(m_proto.responseTicks);
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
    }
    break;
  case 30:
    if (++m_attempts > kPostPageAttempts) {
      Fail(ecTimeout);
      break;
    }
    TalkHdlc(500);
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

} // namespace

std::unique_ptr<FaxMachine> MakeClass1SendMachine(FaxSession& session) {
  return std::make_unique<Class1SendMachine>(session);
}

} // namespace faxengine
