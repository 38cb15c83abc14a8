// The Class 1 receive machine: the frames it takes, the state dispatch,
// the new call and the wait for rings.

#include "faxengine/Class1ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

namespace {
constexpr StateInfo kClass1ReceiveStates[] = {
    {rsNewCall, "NewCall", StateKind::Action, StateLoop::AtOnce},
    {rsClass1Reply, "Class1Reply", StateKind::Line, StateLoop::WhileInput},
    {rsWaiting, "Waiting", StateKind::Line, StateLoop::WhileInput},
    {rsAnswer, "Answer", StateKind::Action, StateLoop::AtOnce},
    {rsSendCsi, "SendCsi", StateKind::Line, StateLoop::WhileInput},
    {rsSendDis, "SendDis", StateKind::Line, StateLoop::WhileInput},
    {rsPhaseB, "PhaseB", StateKind::Line, StateLoop::WhileInput},
    {rsRepeatDis, "RepeatDis", StateKind::Action, StateLoop::AtOnce},
    {rsRepeatDisCommand, "RepeatDisCommand", StateKind::Line, StateLoop::WhileInput},
    {rsCheckConnect, "CheckConnect", StateKind::Line, StateLoop::WhileInput},
    {rsTrainingCheck, "TrainingCheck", StateKind::Trigger, StateLoop::WhileInput},
    {rsSendFtt, "SendFtt", StateKind::Line, StateLoop::WhileInput},
    {rsCheckEnded, "CheckEnded", StateKind::Line, StateLoop::WhileInput},
    {rsSendCfr, "SendCfr", StateKind::Line, StateLoop::WhileInput},
    {rsPageConnect, "PageConnect", StateKind::Line, StateLoop::WhileInput},
    {rsPageStart, "PageStart", StateKind::Action, StateLoop::AtOnce},
    {rsPageData, "PageData", StateKind::Trigger, StateLoop::WhileInput},
    {rsPageCarrierEnd, "PageCarrierEnd", StateKind::Line, StateLoop::WhileInput},
    {rsPostPageFrames, "PostPageFrames", StateKind::Line, StateLoop::WhileInput},
    {rsFinishPage, "FinishPage", StateKind::Action, StateLoop::AtOnce},
    {rsSendMcf, "SendMcf", StateKind::Line, StateLoop::WhileInput},
    {rsWaitDcn, "WaitDcn", StateKind::Line, StateLoop::WhileInput},
    {rsHangupReply, "HangupReply", StateKind::Line, StateLoop::WhileInput},
    {rsCallOver, "CallOver", StateKind::Action, StateLoop::AtOnce},
    {rsFailure, "Failure", StateKind::Action, StateLoop::AtOnce},
    {rsFinal, "Final", StateKind::Line, StateLoop::Return},
};
} // namespace

std::span<const StateInfo> Class1ReceiveMachine::States() const {
  return kClass1ReceiveStates;
}

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
    // Only what our DIS offered is taken; a DCS asking for more finds its
    // pages stored as MH and judged by the decoder.
    const t30::CodingSet chosen = t30::ChooseCoding(LocalCoding(m_proto.desiredECM), dcs.coding);
    m_proto.coding = t30::PageCoding(chosen);
    m_proto.ecm = chosen.ecm;
    m_ecmInPage = false;
    m_s.SetStatus(fpSessionParams);
    break;
  }
  case FrameKind::Pps:
  case FrameKind::Ctc:
  case FrameKind::Eor:
    m_lastFif = frame.fif;
    break;
  case FrameKind::Dcn:
    if (m_state == rsWaitDcn)
      break;
    if (m_rejected && m_state == rsPhaseB) {
      // The sender does not send the rejected page again: the fax is
      // complete as it came.
      m_rejected = false;
      FaxReceived();
      m_state = rsWaitDcn;
      break;
    }
    Fail(ecCancelRequested);
    break;
  default:
    break;
  }
}

void Class1ReceiveMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case rsNewCall:
    StartCall();
    break;
  case rsClass1Reply:
    if (SetupRing(ev))
      break;
    if (!ev.Has("OK")) {
      Fail(ev.timeout ? ecTimeout : ecFaxInitError);
      break;
    }
    m_s.SwitchBaud(m_rec.normalBaud);
    StartWaiting();
    break;
  case rsWaiting:
    Waiting(ev);
    break;
  case rsAnswer:
    Answer(rsSendCsi);
    break;
  case rsSendCsi:
  case rsSendDis:
  case rsPhaseB:
  case rsRepeatDis:
  case rsRepeatDisCommand:
    Answering(ev);
    break;
  case rsCheckConnect:
  case rsTrainingCheck:
  case rsSendFtt:
    TrainingCheck(ev);
    break;
  case rsCheckEnded:
  case rsSendCfr:
  case rsPageConnect:
    Confirm(ev);
    break;
  case rsPageStart:
    PageStart();
    break;
  case rsPageData:
    PageData(ev);
    break;
  case rsPageCarrierEnd:
  case rsPostPageFrames:
  case rsFinishPage:
  case rsSendMcf:
    PostPage(ev);
    break;
  case rsWaitDcn:
  case rsHangupReply:
    CallEnd(ev);
    break;
  case rsCallOver:
    CallOver();
    break;
  case rsFailure:
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
  m_retrain = m_rejected = false;
  m_local = t30::ParseModulations(m_proto.class1CapsAnswer);
  m_index = m_local.Highest();
  while (m_index > 1 && t30::SpeedOfIndex(m_index) > m_proto.desiredBPS)
    --m_index;
  NewCall("AT+FCLASS=1", rsClass1Reply);
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
