// The Class 1 send machine: the frames it takes, the state dispatch,
// set-up and dialling.

#include "faxengine/Class1SendMachine.h"

#include "platform/FxErrors.h"

#include <algorithm>

namespace faxengine {

namespace {
constexpr StateInfo kClass1SendStates[] = {
    {ssNextFax, "NextFax", StateKind::Action, StateLoop::AtOnce},
    {ssSelectPage, "SelectPage", StateKind::Action, StateLoop::AtOnce},
    {ssClass1Reply, "Class1Reply", StateKind::Line, StateLoop::WhileInput},
    {ssDial, "Dial", StateKind::Action, StateLoop::AtOnce},
    {ssRetryPause, "RetryPause", StateKind::Trigger, StateLoop::Return},
    {ssDialResult1, "DialResult1", StateKind::Line, StateLoop::WhileInput},
    {ssSendTsi, "SendTsi", StateKind::Line, StateLoop::WhileInput},
    {ssSendDcs, "SendDcs", StateKind::Line, StateLoop::WhileInput},
    {ssTrainCommand, "TrainCommand", StateKind::Line, StateLoop::WhileInput},
    {ssTraining, "Training", StateKind::Line, StateLoop::WhileInput},
    {ssTrainingSent, "TrainingSent", StateKind::Line, StateLoop::WhileInput},
    {ssTrainingAnswer, "TrainingAnswer", StateKind::Line, StateLoop::WhileInput},
    {ssPageCommand, "PageCommand", StateKind::Line, StateLoop::WhileInput},
    {ssXonWait, "XonWait", StateKind::Trigger, StateLoop::Return},
    {ssOutputSpace, "OutputSpace", StateKind::Trigger, StateLoop::Return},
    {ssPageStart, "PageStart", StateKind::Action, StateLoop::AtOnce},
    {ssCover, "Cover", StateKind::Action, StateLoop::AtOnce},
    {ssTextCoverData, "TextCoverData", StateKind::Trigger, StateLoop::Return},
    {ssApfPage, "ApfPage", StateKind::Action, StateLoop::AtOnce},
    {ssApfPageData, "ApfPageData", StateKind::Trigger, StateLoop::Return},
    {ssPageEnd, "PageEnd", StateKind::Trigger, StateLoop::Return},
    {ssPageSent, "PageSent", StateKind::Line, StateLoop::WhileInput},
    {ssPostPageTry, "PostPageTry", StateKind::Action, StateLoop::AtOnce},
    {ssPostPageConnect, "PostPageConnect", StateKind::Line, StateLoop::WhileInput},
    {ssPostPageSent, "PostPageSent", StateKind::Line, StateLoop::WhileInput},
    {ssPostPageAnswer, "PostPageAnswer", StateKind::Line, StateLoop::WhileInput},
    {ssDcnConnect, "DcnConnect", StateKind::Line, StateLoop::WhileInput},
    {ssDcnSent, "DcnSent", StateKind::Line, StateLoop::WhileInput},
    {ssHangupReply, "HangupReply", StateKind::Line, StateLoop::WhileInput},
    {ssFaxSent, "FaxSent", StateKind::Action, StateLoop::AtOnce},
    {ssJobDone, "JobDone", StateKind::Action, StateLoop::AtOnce},
    {ssFailure, "Failure", StateKind::Action, StateLoop::AtOnce},
    {ssFinal, "Final", StateKind::Line, StateLoop::Return},
    {ssEcmData, "EcmData", StateKind::Line, StateLoop::WhileInput},
    {ssCtcConnect, "CtcConnect", StateKind::Line, StateLoop::WhileInput},
    {ssCtcSent, "CtcSent", StateKind::Line, StateLoop::WhileInput},
    {ssCtcAnswer, "CtcAnswer", StateKind::Line, StateLoop::WhileInput},
};
} // namespace

std::span<const StateInfo> Class1SendMachine::States() const {
  return kClass1SendStates;
}

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
    m_coding = t30::ChooseCoding(LocalCoding(m_proto.desiredECM), dis.coding);
    m_proto.coding = t30::PageCoding(m_coding);
    m_proto.ecm = m_proto.ecmFrames = m_coding.ecm;
    m_pprCount = 0;
    m_sendRr = false;
    m_s.SetStatus(fpSessionParams);
    break;
  }
  case FrameKind::Cfr:
    m_cfr = true;
    break;
  case FrameKind::Ppr:
    std::fill(std::begin(m_pprMap), std::end(m_pprMap), 0);
    std::copy_n(frame.fif.begin(), std::min(frame.fif.size(), kPprMapBytes), m_pprMap);
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
  case ssNextFax:
    NextFax();
    break;
  case ssSelectPage:
    Setup();
    break;
  case ssClass1Reply:
    if (ev.timeout || !ev.Has("OK")) {
      Fail(ecFaxInitError);
      break;
    }
    m_state = ssDial;
    break;
  case ssDial:
    Dial(ssDialResult1);
    break;
  case ssDialResult1:
    DialResult(ev);
    break;
  case ssSendTsi:
  case ssSendDcs:
  case ssTrainCommand:
  case ssTraining:
  case ssTrainingSent:
  case ssTrainingAnswer:
  case ssPageCommand:
    Training(ev);
    break;
  case ssDcnConnect:
  case ssDcnSent:
  case ssHangupReply:
    Hangup(ev);
    break;
  case ssEcmData:
  case ssCtcConnect:
  case ssCtcSent:
  case ssCtcAnswer:
    EcmStates(ev);
    break;
  case ssFaxSent:
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
  m_state = ssClass1Reply;
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
      m_state = ssSendTsi;
    } else {
      ListenHdlc();
    }
  }
}

std::unique_ptr<FaxMachine> MakeClass1SendMachine(FaxSession& session) {
  return std::make_unique<Class1SendMachine>(session);
}

} // namespace faxengine
