// The Class 1 receive machine: waiting for rings, answering with CSI and
// DIS, the training check, page data into the received APF file, MCF for
// every page, and the call loop.

#include "faxengine/Class1Machine.h"
#include "faxengine/ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

namespace {

using t30::FrameKind;

constexpr int32_t kFrameWaitTicks = 54;
constexpr int kDisRepeats = 3;

class Class1ReceiveMachine final : public Class1MachineBase, public ReceiveMachine {
public:
  explicit Class1ReceiveMachine(FaxSession& s)
      : ModemMachine(s), Class1MachineBase(s), ReceiveMachine(s) {}

protected:
  Kind KindOf(int state) const override {
    switch (state) {
    case 1:
    case 9:
    case 13:
    case 25:
    case 29:
    case 35:
    case 36:
      return Kind::Action;
    case 16:
    case 26:
      return Kind::Trigger;
    default:
      return Kind::Line;
    }
  }

  Loop LoopAfterTrigger() const override { return Loop::WhileInput; }

  void Step(MachineEvent& ev) override;
  void OnFrame(const t30::Frame& frame) override;

private:
  void StartCall();
  void Waiting(MachineEvent& ev);
  void Answering(MachineEvent& ev);
  void TrainingCheck(MachineEvent& ev);
  void Confirm(MachineEvent& ev);
  void PageStart();
  void PageData(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void CallEnd(MachineEvent& ev);
  void Flow(bool on) {
    if (m_rec.softwareFlow)
      m_s.Port().setFlow({false, false, on});
  }

  t30::TrainingCheck m_check;
  bool m_checkDle = false;
  bool m_mps = false;
  int m_repeats = 0;
};

void Class1ReceiveMachine::OnFrame(const t30::Frame& frame) {
  switch (t30::KindOfFcf(frame.fcf)) {
  case FrameKind::Ident:
    TakeRemoteIdent(frame);
    break;
  case FrameKind::Dcs: {
    const t30::Capabilities dcs = t30::ReadDcs(frame.fif.data(), frame.fif.size());
    m_index = dcs.index;
    m_proto.bps = t30::SpeedOfIndex(dcs.index);
    m_proto.fine = dcs.fine;
    m_proto.wide = dcs.wide;
    m_proto.scanTimeCode = dcs.scanTime;
    m_proto.minBytesPerLine = MinBytesPerLine(dcs.scanTime, dcs.fine, m_proto.bps);
    m_s.SetStatus(fpSessionParams);
    break;
  }
  case FrameKind::Dcn:
    if (m_state != 31)
      Fail(ecCancelRequested);
    break;
  default:
    break;
  }
}

void Class1ReceiveMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case 1:
    StartCall();
    break;
  case 2:
    if (!ev.Has("OK")) {
      Fail(ev.timeout ? ecTimeout : ecFaxInitError);
      break;
    }
    m_s.SwitchBaud(m_rec.normalBaud);
    m_s.DisarmTimeout();
    m_s.SetStatus(fpWaiting);
    m_state = 8;
    break;
  case 8:
    Waiting(ev);
    break;
  case 9:
    Answer(10);
    break;
  case 10:
  case 11:
  case 12:
  case 13:
  case 14:
    Answering(ev);
    break;
  case 15:
  case 16:
  case 18:
    TrainingCheck(ev);
    break;
  case 19:
  case 20:
  case 21:
    Confirm(ev);
    break;
  case 25:
    PageStart();
    break;
  case 26:
    PageData(ev);
    break;
  case 27:
  case 28:
  case 29:
  case 30:
    PostPage(ev);
    break;
  case 31:
  case 32:
    CallEnd(ev);
    break;
  case 35:
    CallOver();
    break;
  case 36:
    Flow(false);
    Failure();
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
}

void Class1ReceiveMachine::StartCall() {
  m_repeats = 0;
  m_local = t30::ParseModulations(m_proto.class1CapsAnswer);
  m_index = m_local.Highest();
  while (m_index > 1 && t30::SpeedOfIndex(m_index) > m_proto.desiredBPS)
    --m_index;
  NewCall("AT+FCLASS=1", 2);
}

void Class1ReceiveMachine::Waiting(MachineEvent& ev) {
  if (ev.Has("RING"))
    CountRing();
  else if (ev.Has("VOICE")) {
    Fail(ecFaxVoiceCall);
  }
}

// States 10 to 14: CSI and DIS, then the transmitter's TSI and DCS.
void Class1ReceiveMachine::Answering(MachineEvent& ev) {
  const bool connect = ev.Has("CONNECT"), ok = ev.Has("OK");
  switch (m_state) {
  case 10:
    if (ev.timeout) {
      if (m_repeats > 0)
        m_state = 13;
      else
        Fail(ecTimeout);
    } else if (connect) {
      SendFrame(t30::BuildIdentFrame(t30::fcfCsi, m_rec.stationID));
      m_state = 11;
    }
    break;
  case 11:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (connect) {
      SendFrame(t30::BuildFrame(t30::fcfDis, t30::BuildDisFif(m_index), true));
    } else if (ok) {
      ListenHdlc(); // TSI and DCS follow our DIS at once
      m_s.ArmTimeout(kFrameWaitTicks);
      m_state = 12;
    }
    break;
  case 12:
    if (ev.timeout) {
      m_state = 13;
    } else if (ok && !LastFinal()) {
      ListenHdlc();
    } else if (ok && LastKind() == FrameKind::Dcs) {
      Flow(true);
      Modulation("AT+FRM=" + Code());
      m_state = 15;
    } else if (ok || ev.Has("ERROR") || ev.Has("RRIER")) {
      m_state = 13; // no DCS: offer again
    }
    break;
  case 13:
    if (++m_repeats > kDisRepeats) {
      Fail(ecTimeout);
      break;
    }
    m_s.SendText("AT\r");
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = 14;
    break;
  case 14:
    TalkHdlc();
    m_state = 10;
    break;
  }
}

// States 15, 16 and 18: the training check and its failure.
void Class1ReceiveMachine::TrainingCheck(MachineEvent& ev) {
  if (m_state == 15) {
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      m_check = {};
      m_checkDle = false;
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = 16;
    }
    return;
  }
  if (m_state == 18) {
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      SendFrame(t30::BuildFrame(t30::fcfFtt, {}, true));
      if (m_index <= 1)
        Fail(ecFaxTrainError);
    } else if (ev.Has("OK")) {
      ListenHdlc();
      m_s.ArmTimeout(kFrameWaitTicks);
      m_state = 12;
    }
    return;
  }
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
    if (m_checkDle) {
      m_checkDle = false;
      if (b == t30::kEtx) {
        if (m_check.Passed()) {
          m_state = 19;
        } else {
          TalkHdlc();
          m_state = 18;
        }
        return;
      }
    } else if (b == t30::kDle) {
      m_checkDle = true;
    }
    m_check.Count(b);
  }
}

// States 19 to 21: CFR, the first page's carrier and the fax accepted.
void Class1ReceiveMachine::Confirm(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  if (m_state == 19) {
    if (ev.Has("RRIER")) {
      Flow(false);
      FaxSession::DelayMs(20);
      TalkHdlc();
      m_state = 20;
    }
  } else if (m_state == 20) {
    if (ev.Has("CONNECT")) {
      Flow(true);
      SendFrame(t30::BuildFrame(t30::fcfCfr, {}, true));
    } else if (ev.Has("OK")) {
      Modulation("AT+FRM=" + PageCode());
      m_state = 21;
      if (!m_s.AcceptFax()) {
        RejectFax();
        return;
      }
      if (int rc = CreateFile())
        Fail(rc);
    }
  } else if (ev.Has("CONNECT")) {
    m_s.SetStatus(fpSessionParams);
    m_state = 25;
  }
}

void Class1ReceiveMachine::PageStart() {
  ++m_rec.pageNumber;
  if (int rc = BeginPage()) {
    Fail(rc);
    return;
  }
  m_s.SetStatus(fpGetPage);
  m_state = 26;
}

void Class1ReceiveMachine::PageData(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  bool ended = false;
  if (!StorePageData(false, ended))
    return;
  m_s.ArmTimeout(m_proto.responseTicks);
  if (ended)
    m_state = 27;
}

// States 27 to 30: the post-page message and MCF.
void Class1ReceiveMachine::PostPage(MachineEvent& ev) {
  if (m_state != 29 && ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  switch (m_state) {
  case 27:
    if (ev.Has("RRIER") || ev.Has("OK")) {
      ListenHdlc();
      m_state = 28;
    }
    break;
  case 28:
    if (ev.Has("OK") && !LastFinal()) {
      ListenHdlc();
    } else if (ev.Has("OK")) {
      m_mps = LastKind() == FrameKind::Mps;
      m_s.SetStatus(fpGetPageResult);
      m_state = 29;
    }
    break;
  case 29:
    if (int rc = m_file.FinishPage(m_rec.remoteID)) {
      Fail(rc);
      break;
    }
    TalkHdlc();
    m_s.SetStatus(fpCheckMorePages);
    m_state = 30;
    break;
  case 30:
    if (ev.Has("CONNECT")) {
      SendFrame(t30::BuildFrame(t30::fcfMcf, {}, true));
    } else if (ev.Has("OK") && m_mps) {
      Modulation("AT+FRM=" + PageCode());
      m_state = 21;
    } else if (ev.Has("OK")) {
      ListenHdlc(); // DCN follows our MCF at once
      FaxReceived();
      m_state = 31;
    }
    break;
  }
}

// States 31, 32 and 35: DCN, hang-up and the next call.
void Class1ReceiveMachine::CallEnd(MachineEvent& ev) {
  if (m_state == 31) {
    if (ev.timeout) {
      m_s.HangUpReceive();
      m_state = 35;
    } else if (ev.Has("OK") && LastFinal()) {
      m_s.SendText("ATH\r");
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = 32;
    } else if (ev.Has("OK")) {
      ListenHdlc();
    } else if (ev.Has("RRIER") || ev.Has("ERROR")) {
      m_s.SendText("ATH\r");
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = 32;
    }
    return;
  }
  if (m_state == 32) {
    if (ev.timeout || ev.Has("OK")) {
      m_s.SetStatus(fpGotHangup);
      m_state = 35;
    }
  }
}

} // namespace

std::unique_ptr<FaxMachine> MakeClass1ReceiveMachine(FaxSession& session) {
  return std::make_unique<Class1ReceiveMachine>(session);
}

} // namespace faxengine
