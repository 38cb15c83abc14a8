// The Class 1 receive machine: the frames it takes, the state dispatch,
// the new call and the wait for rings.

#include "faxengine/Class1ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

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

std::unique_ptr<FaxMachine> MakeClass1ReceiveMachine(FaxSession& session) {
  return std::make_unique<Class1ReceiveMachine>(session);
}

} // namespace faxengine
