// The Class 1 receive machine: waiting for rings, answering with CSI and
// DIS, the training check, page data into the received APF file, MCF for
// every page, and the call loop.

#include "faxengine/Class1Machine.h"
#include "faxengine/FaxPageSender.h"

#include "platform/FxErrors.h"

namespace faxengine {

namespace {

using t30::FrameKind;

constexpr int32_t kFrameWaitTicks = 54;
constexpr int kDisRepeats = 3;

class Class1ReceiveMachine final : public Class1MachineBase {
public:
  explicit Class1ReceiveMachine(FaxSession& s) : Class1MachineBase(s) {}

protected:
  int FinalState() const override { return 37; }
  int FailureState() const override { return 36; }

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

  Loop LoopAfter(int state) const override {
    switch (KindOf(state)) {
    case Kind::Action:
      return Loop::AtOnce;
    case Kind::Trigger:
      return Loop::WhileInput;
    default:
      return state == 37 ? Loop::Return : Loop::WhileInput;
    }
  }

  void Step(Class1Event& ev) override;
  void OnFrame(const t30::Frame& frame) override;

private:
  void NewCall();
  void Waiting(Class1Event& ev);
  void Answering(Class1Event& ev);
  void TrainingCheck(Class1Event& ev);
  void Confirm(Class1Event& ev);
  void PageStart();
  void PageData(Class1Event& ev);
  void PostPage(Class1Event& ev);
  void CallEnd(Class1Event& ev);
  void Failure();
  void Flow(bool on) {
    if (m_rec.softwareFlow)
      m_s.Port().setFlow({false, false, on});
  }
  void ShowFirst() {
    if (!m_firstSent) {
      m_firstSent = true;
      m_s.Status(true, false);
    }
  }

  ReceivedFile m_file;
  DleDecoder m_dle;
  t30::TrainingCheck m_check;
  bool m_checkDle = false;
  bool m_mps = false;
  bool m_firstSent = false;
  bool m_hungUp = false;
  int m_repeats = 0;
};

void Class1ReceiveMachine::OnFrame(const t30::Frame& frame) {
  switch (t30::KindOfFcf(frame.fcf)) {
  case FrameKind::Ident:
    m_rec.remoteID = t30::ReadIdent(frame.fif.data(), frame.fif.size());
    m_s.SetStatus(fpGotRemoteID);
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

void Class1ReceiveMachine::Step(Class1Event& ev) {
  switch (m_state) {
  case 1:
    NewCall();
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
    m_s.SendCommand("ATA");
    m_s.ArmTimeout(kPageTicks);
    m_s.SetStatus(fpAnswer);
    m_state = 10;
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
  case 35:
    CallEnd(ev);
    break;
  case 36:
    Failure();
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
}

void Class1ReceiveMachine::NewCall() {
  m_rec.pageNumber = 0;
  m_rec.pageBytesDone = 0;
  m_rec.remoteID.clear();
  m_rec.faxFile.clear();
  m_proto.ringCount = 0;
  m_hungUp = false;
  m_repeats = 0;
  m_local = t30::ParseModulations(m_proto.class1CapsAnswer);
  m_index = m_local.Highest();
  while (m_index > 1 && t30::SpeedOfIndex(m_index) > m_proto.desiredBPS)
    --m_index;
  if (m_rec.constantStatus)
    ShowFirst();
  m_s.Port().setModemLines(true, true);
  m_s.SendCommand("AT+FCLASS=1");
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = 2;
}

void Class1ReceiveMachine::Waiting(Class1Event& ev) {
  if (ev.Has("RING")) {
    if (++m_proto.ringCount >= m_proto.answerOnRing) {
      ShowFirst();
      m_state = 9;
    }
  } else if (ev.Has("VOICE")) {
    Fail(ecFaxVoiceCall);
  }
}

// States 10 to 14: CSI and DIS, then the transmitter's TSI and DCS.
void Class1ReceiveMachine::Answering(Class1Event& ev) {
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
void Class1ReceiveMachine::TrainingCheck(Class1Event& ev) {
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
void Class1ReceiveMachine::Confirm(Class1Event& ev) {
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
        m_s.Error(ecFileRejected);
        m_s.HangUpReceive();
        m_hungUp = true;
        m_s.Log(lfaxReceiveSkip);
        m_state = 36;
        return;
      }
      m_s.RequestName();
      const int rc =
          m_rec.faxFile.empty() ? ecNoFilename : m_file.Create(m_rec.faxFile, m_rec.remoteID);
      if (rc) {
        Fail(rc);
        return;
      }
      m_s.Log(lfaxReceiveStart);
    }
  } else if (ev.Has("CONNECT")) {
    m_s.SetStatus(fpSessionParams);
    m_state = 25;
  }
}

void Class1ReceiveMachine::PageStart() {
  ++m_rec.pageNumber;
  if (int rc = m_file.StartPage(m_proto.fine, m_proto.wide)) {
    Fail(rc);
    return;
  }
  m_rec.pageBytesDone = 0;
  m_dle.Reset();
  m_s.ArmTimeout(m_proto.responseTicks);
  m_s.SetStatus(fpGetPage);
  m_state = 26;
}

void Class1ReceiveMachine::PageData(Class1Event& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  // Byte by byte up to DLE ETX: the modem's NO CARRIER that follows it is
  // left in the port for the next state.
  std::vector<uint8_t> out;
  out.reserve(kDataBlock);
  uint8_t b;
  bool ended = false;
  while (!ended && m_s.Port().readByte(b) == 0) {
    m_dle.Decode(&b, 1, out, ended);
    if (out.size() < static_cast<std::size_t>(kDataBlock) && !ended)
      continue;
    if (int rc = m_file.Put(out.data(), out.size(), false)) {
      Fail(rc);
      return;
    }
    m_rec.pageBytesDone += static_cast<long>(out.size());
    out.clear();
  }
  if (!out.empty()) {
    if (int rc = m_file.Put(out.data(), out.size(), false)) {
      Fail(rc);
      return;
    }
    m_rec.pageBytesDone += static_cast<long>(out.size());
  }
  m_s.ArmTimeout(m_proto.responseTicks);
  if (ended)
    m_state = 27;
}

// States 27 to 30: the post-page message and MCF.
void Class1ReceiveMachine::PostPage(Class1Event& ev) {
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
      m_file.Close();
      m_s.Log(lfaxReceiveOk);
      m_rec.faxFile.clear();
      m_s.SetStatus(fpGetHangup);
      m_state = 31;
    }
    break;
  }
}

// States 31, 32 and 35: DCN, hang-up and the next call.
void Class1ReceiveMachine::CallEnd(Class1Event& ev) {
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
    return;
  }
  m_s.DisarmTimeout();
  m_s.SwitchBaud(m_rec.initBaud);
  if (m_rec.oneFax) {
    m_s.Status(false, true);
    m_state = 37;
    m_s.Finish();
    return;
  }
  if (!m_rec.constantStatus && m_firstSent) {
    m_s.Status(false, true);
    m_firstSent = false;
  }
  m_state = 1;
}

void Class1ReceiveMachine::Failure() {
  m_s.DisarmTimeout();
  Flow(false);
  if (m_file.IsOpen()) {
    if (m_file.PageOpen() && m_rec.pageBytesDone > 0)
      m_file.FinishPage(m_rec.remoteID);
    else if (m_file.PageOpen())
      m_file.DropPage();
    m_file.Close();
    m_s.Log(lfaxReceiveFail);
  }
  if (!m_hungUp)
    m_s.HangUpReceive();
  if ((m_firstSent && !m_rec.constantStatus) || m_aborted || m_rec.exitOnError) {
    m_s.Status(false, true);
    m_firstSent = false;
  }
  if (m_rec.exitOnError || m_aborted) {
    m_state = 37;
    m_s.Finish();
    return;
  }
  m_state = 1;
}

} // namespace

std::unique_ptr<FaxMachine> MakeClass1ReceiveMachine(FaxSession& session) {
  return std::make_unique<Class1ReceiveMachine>(session);
}

} // namespace faxengine
