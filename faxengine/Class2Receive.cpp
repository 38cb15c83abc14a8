// The Class 2 / 2.0 receive machine: modem set-up, waiting for rings,
// answering, page data with DLE framing into the received APF file, page
// status and post-page reports, and the call loop.

#include "faxengine/Class2Machine.h"
#include "faxengine/Class2Protocol.h"
#include "faxengine/ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

namespace {

constexpr uint8_t kDc2 = 0x12;
enum class Doc { New, Same, End };

constexpr StateInfo kClass2ReceiveStates[] = {
    {rsNewCall, "NewCall", StateKind::Action, StateLoop::AtOnce},
    {rsClassReply, "ClassReply", StateKind::Line, StateLoop::WhileInput},
    {rsCapsReply, "CapsReply", StateKind::Line, StateLoop::WhileInput},
    {rsFlowReply, "FlowReply", StateKind::Line, StateLoop::WhileInput},
    {rsSetupReply, "SetupReply", StateKind::Line, StateLoop::WhileInput},
    {rsWaiting, "Waiting", StateKind::Line, StateLoop::WhileInput},
    {rsAnswer, "Answer", StateKind::Action, StateLoop::AtOnce},
    {rsConnected, "Connected", StateKind::Line, StateLoop::WhileInput},
    {rsRemoteId, "RemoteId", StateKind::Line, StateLoop::WhileInput},
    {rsParams, "Params", StateKind::Line, StateLoop::WhileInput},
    {rsPageStart, "PageStart", StateKind::Action, StateLoop::AtOnce},
    {rsPageData, "PageData", StateKind::Trigger, StateLoop::Return},
    {rsPageStatus, "PageStatus", StateKind::Line, StateLoop::WhileInput},
    {rsPostPage, "PostPage", StateKind::Line, StateLoop::WhileInput},
    {rsCallOver, "CallOver", StateKind::Action, StateLoop::AtOnce},
    {rsFailure, "Failure", StateKind::Action, StateLoop::AtOnce},
    {rsFinal, "Final", StateKind::Action, StateLoop::Return},
};

class Class2ReceiveMachine final : public Class2MachineBase, public ReceiveMachine {
public:
  explicit Class2ReceiveMachine(FaxSession& s)
      : ModemMachine(s), Class2MachineBase(s), ReceiveMachine(s) {}

protected:
  std::span<const StateInfo> States() const override { return kClass2ReceiveStates; }

  bool Screen(const std::string& line) override {
    return ScreenReports(line, m_state == rsPageStatus, m_state == rsPostPage, ecFaxSessionError);
  }

  void Step(MachineEvent& ev) override;

private:
  void Commands(MachineEvent& ev);
  void Waiting(MachineEvent& ev);
  void Validated(MachineEvent& ev);
  void PageStart();
  void PageData(MachineEvent& ev);
  void PostPage(MachineEvent& ev);

  Doc m_doc = Doc::New;
};

void Class2ReceiveMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case rsNewCall:
    m_doc = Doc::New;
    NewCall(m_proto.dialect.classCmd, rsClassReply);
    break;
  case rsClassReply:
  case rsCapsReply:
  case rsFlowReply:
  case rsSetupReply:
    Commands(ev);
    break;
  case rsWaiting:
    Waiting(ev);
    break;
  case rsAnswer:
    Answer(rsConnected);
    break;
  case rsConnected:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has(m_proto.dialect.connectResp)) {
      m_s.ArmTimeout(m_proto.responseTicks);
      m_s.SetStatus(fpIncoming);
      m_state = rsRemoteId;
    }
    break;
  case rsRemoteId:
    Validated(ev);
    break;
  case rsParams:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has(m_proto.dialect.negotiated)) {
      TakeParams(ev.line);
      m_s.SetStatus(fpSessionParams);
    } else if (ev.Has("CONNECT")) {
      if (m_rec.softwareFlow)
        m_s.Port().setFlow({false, false, true});
      m_state = rsPageStart;
    }
    break;
  case rsPageStart:
    PageStart();
    break;
  case rsPageData:
    PageData(ev);
    break;
  case rsPageStatus:
    PostPage(ev);
    break;
  case rsPostPage:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has(m_proto.dialect.hangupWord)) {
      m_proto.lastHangupCode = ParseHangupCode(ev.line);
      m_s.SetStatus(fpGotHangup);
    } else if (ev.Has("+FET")) {
      m_s.SetStatus(fpGetHangup);
    } else if (ev.Has("OK")) {
      m_state = rsCallOver;
    }
    break;
  case rsCallOver:
    CallOver();
    break;
  case rsFailure:
    Failure();
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
}

void Class2ReceiveMachine::Commands(MachineEvent& ev) {
  if (SetupRing(ev))
    return;
  if (!ev.Has("OK")) {
    Fail(ev.timeout ? ecTimeout : ecFaxInitError);
    return;
  }
  switch (m_state) {
  case rsClassReply:
    m_s.SwitchBaud(m_rec.normalBaud);
    m_s.SendCommand(m_proto.dialect.modemCaps + ModemCapsParams(m_proto.desiredBPS, Offer()));
    m_state = m_is20 ? rsCapsReply : rsSetupReply;
    break;
  case rsCapsReply:
    m_s.SendCommand("AT+FLO=2");
    m_state = rsFlowReply;
    break;
  case rsFlowReply:
    m_s.SendCommand("AT+FNR=1,1,1,0");
    m_state = rsSetupReply;
    break;
  default:
    StartWaiting();
    return;
  }
  m_s.ArmTimeout(m_proto.responseTicks);
}

void Class2ReceiveMachine::Waiting(MachineEvent& ev) {
  if (ev.Has("RING")) {
    if (CountRing())
      m_s.ArmTimeout(m_proto.responseTicks);
  } else if (ev.Has("NO C")) {
    m_s.SetStatus(fpNoConnect);
  } else if (ev.Has("CONNECT")) {
    Fail(ecFaxDataCall);
  } else if (ev.Has("VOICE")) {
    Fail(ecFaxVoiceCall);
  }
}

void Class2ReceiveMachine::Validated(MachineEvent& ev) {
  const ClassDialect& d = m_proto.dialect;
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(d.tsiResp)) {
    m_rec.remoteID = ParseRemoteId(ev.line.substr(ev.line.find(d.tsiResp)));
    if (!m_s.AcceptFax()) {
      m_s.SendText("AT+FKS\r");
      RejectFax();
      return;
    }
    m_s.SetStatus(fpGotRemoteID);
    if (int rc = CreateFile()) {
      Fail(rc);
      return;
    }
    m_doc = Doc::Same;
  } else if (ev.Has(d.negotiated)) {
    TakeParams(ev.line);
    m_s.SetStatus(fpSessionParams);
  } else if (ev.Has("OK")) {
    m_s.SendCommand("AT+FDR");
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = rsParams;
  }
}

void Class2ReceiveMachine::PageStart() {
  ++m_rec.pageNumber;
  if (m_doc == Doc::New) {
    if (m_file.IsOpen())
      m_file.Close();
    if (int rc = CreateFile()) {
      Fail(rc);
      return;
    }
  }
  if (int rc = BeginPage()) {
    Fail(rc);
    return;
  }
  m_doc = Doc::Same;
  const uint8_t dc2 = kDc2;
  m_s.Port().sendBlock(&dc2, 1);
  m_s.SetStatus(fpGetPage);
  m_state = rsPageData;
}

void Class2ReceiveMachine::PageData(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  // Class 2 modems deliver the bits of each byte in the opposite order.
  bool ended = false;
  if (!StorePageData(!m_is20, ended))
    return;
  if (!ended) {
    m_s.ArmTimeout(m_proto.responseTicks);
    return;
  }
  m_s.SetStatus(fpGetPage);
  m_s.ClearLineBuffer();
  if (m_rec.softwareFlow)
    m_s.Port().setFlow({true, false, false});
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = rsPageStatus;
}

void Class2ReceiveMachine::PostPage(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(m_proto.dialect.pageStatus)) {
    m_s.SetStatus(fpGetPageResult);
    const char c = ReportCode(ev.line);
    const int rc =
        (c == '1' || c == '3' || c == '5') ? m_file.FinishPage(m_rec.remoteID) : m_file.DropPage();
    if (rc)
      Fail(rc);
  } else if (ev.Has("+FET")) {
    m_s.SetStatus(fpCheckMorePages);
    const char c = ReportCode(ev.line);
    m_doc = c == '0' ? Doc::Same : c == '1' ? Doc::New : Doc::End;
  } else if (ev.Has("OK")) {
    m_s.SendCommand("AT+FDR");
    m_s.ArmTimeout(m_proto.responseTicks);
    if (m_doc == Doc::End) {
      FaxReceived();
      m_state = rsPostPage;
    } else {
      m_state = rsParams;
    }
  } else if (ev.Has("ERROR")) {
    m_file.DropPage();
    m_s.SendCommand("AT+FDR");
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = rsParams;
  }
}

} // namespace

std::unique_ptr<FaxMachine> MakeClass2ReceiveMachine(FaxSession& session) {
  return std::make_unique<Class2ReceiveMachine>(session);
}

} // namespace faxengine
