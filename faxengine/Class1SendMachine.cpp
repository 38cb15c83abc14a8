// The Class 1 send machine: the frames it takes, the state dispatch,
// set-up and dialling.

#include "faxengine/Class1SendMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

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

std::unique_ptr<FaxMachine> MakeClass1SendMachine(FaxSession& session) {
  return std::make_unique<Class1SendMachine>(session);
}

} // namespace faxengine
