// The Class 2 / 2.0 send machine: class and capability commands, dialling
// with redial, negotiation, page data, post-page exchange, and the job loop
// over the faxes of a send job.

#include "faxengine/Class2Machine.h"
#include "faxengine/Class2Protocol.h"
#include "faxengine/SendMachine.h"

#include "platform/FxErrors.h"
#include "platform/TickClock.h"

namespace faxengine {

namespace {

constexpr uint8_t kDle = 0x10, kEtx = 0x03;

constexpr StateInfo kClass2SendStates[] = {
    {ssNextFax, "NextFax", StateKind::Action, StateLoop::AtOnce},
    {ssSelectPage, "SelectPage", StateKind::Action, StateLoop::AtOnce},
    {ssClassReply, "ClassReply", StateKind::Line, StateLoop::WhileInput},
    {ssLocalIdReply, "LocalIdReply", StateKind::Line, StateLoop::WhileInput},
    {ssFlowReply, "FlowReply", StateKind::Line, StateLoop::WhileInput},
    {ssCapsCommand, "CapsCommand", StateKind::Line, StateLoop::WhileInput},
    {ssCapsReply, "CapsReply", StateKind::Line, StateLoop::WhileInput},
    {ssDial, "Dial", StateKind::Action, StateLoop::AtOnce},
    {ssRetryPause, "RetryPause", StateKind::Trigger, StateLoop::Return},
    {ssDialResult, "DialResult", StateKind::Line, StateLoop::WhileInput},
    {ssNegotiate, "Negotiate", StateKind::Line, StateLoop::WhileInput},
    {ssXonWait, "XonWait", StateKind::Trigger, StateLoop::WhileInput},
    {ssOutputSpace, "OutputSpace", StateKind::Trigger, StateLoop::Return},
    {ssPageStart, "PageStart", StateKind::Action, StateLoop::AtOnce},
    {ssCover, "Cover", StateKind::Action, StateLoop::AtOnce},
    {ssTextCoverData, "TextCoverData", StateKind::Trigger, StateLoop::Return},
    {ssApfPage, "ApfPage", StateKind::Action, StateLoop::AtOnce},
    {ssApfPageData, "ApfPageData", StateKind::Trigger, StateLoop::Return},
    {ssPageEnd, "PageEnd", StateKind::Trigger, StateLoop::Return},
    {ssPageStatus, "PageStatus", StateKind::Action, StateLoop::AtOnce},
    {ssPageStatusOk, "PageStatusOk", StateKind::Line, StateLoop::WhileInput},
    {ssPostPage, "PostPage", StateKind::Line, StateLoop::WhileInput},
    {ssRejected, "Rejected", StateKind::Line, StateLoop::WhileInput},
    {ssNextPage, "NextPage", StateKind::Action, StateLoop::AtOnce},
    {ssPostPage20, "PostPage20", StateKind::Line, StateLoop::WhileInput},
    {ssFaxSent, "FaxSent", StateKind::Action, StateLoop::AtOnce},
    {ssJobDone, "JobDone", StateKind::Action, StateLoop::AtOnce},
    {ssFailure, "Failure", StateKind::Action, StateLoop::AtOnce},
    {ssFinal, "Final", StateKind::Action, StateLoop::Return},
};

class Class2SendMachine final : public Class2MachineBase, public SendMachine {
public:
  explicit Class2SendMachine(FaxSession& s)
      : ModemMachine(s), Class2MachineBase(s), SendMachine(s) {
    m_announceTextCover = true;
  }

protected:
  std::span<const StateInfo> States() const override { return kClass2SendStates; }

  bool Screen(const std::string& line) override {
    return ScreenReports(line, m_state == ssPostPage20,
                         m_state == ssPostPage || m_state == ssPostPage20, ecFaxBadModemResult);
  }

  void Step(MachineEvent& ev) override;
  const char* SessionAbortCommand() const override { return m_is20 ? "AT+FKS" : "AT+FK"; }

private:
  void OpenFax();
  void Setup();
  void Commands(MachineEvent& ev);
  void DialResult(MachineEvent& ev);
  void Negotiate(MachineEvent& ev);
  void PageEnd(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void Rejected(MachineEvent& ev);

  int m_retries = 0;
};

void Class2SendMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case ssNextFax:
    OpenFax();
    break;
  case ssSelectPage:
    Setup();
    break;
  case ssClass1Reply:
  case ssClassReply:
  case ssLocalIdReply:
  case ssFlowReply:
  case ssCapsCommand:
  case ssCapsReply:
    Commands(ev);
    break;
  case ssDial:
    Dial(ssDialResult);
    break;
  case ssDialResult:
    DialResult(ev);
    break;
  case ssNegotiate:
    Negotiate(ev);
    break;
  case ssPageStart:
    StartPage();
    break;
  case ssPageEnd:
    PageEnd(ev);
    break;
  case ssPageStatus:
    m_s.ArmTimeout(kPageTicks);
    m_s.SetStatus(fpSendPageStatus);
    m_state = m_is20 ? ssPostPage20 : ssPageStatusOk;
    break;
  case ssPageStatusOk:
    if (!ev.Has("OK")) {
      Fail(ecFaxSessionError);
      break;
    }
    m_s.SendCommand(m_pages.MorePages() ? "AT+FET=0" : "AT+FET=2");
    m_s.ArmTimeout(kPageTicks);
    m_state = ssPostPage;
    break;
  case ssPostPage:
  case ssPostPage20:
    PostPage(ev);
    break;
  case ssRejected:
    Rejected(ev);
    break;
  case ssNextPage:
    if (!m_pages.MorePages()) {
      m_state = ssFaxSent;
      break;
    }
    if (int rc = m_pages.AdvancePage()) {
      Fail(rc);
      break;
    }
    m_s.SendCommand("AT+FDT");
    m_s.ArmTimeout(kFirstDataTicks);
    m_state = ssNegotiate;
    break;
  case ssFaxSent:
    FaxSent();
    break;
  default:
    if (!SharedStep(ev))
      Fail(ecFaxBadModemResult);
    break;
  }
}

void Class2SendMachine::OpenFax() {
  m_retries = 0;
  if (NextFax() && m_rec.softwareFlow)
    m_s.Port().setFlow({true, false, false});
}

void Class2SendMachine::Setup() {
  if (int rc = m_pages.PrepareFirstPage()) {
    Fail(rc);
    return;
  }
  m_s.SetStatus(fpInitModem);
  m_s.SendCommand(m_proto.dialect.classCmd);
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = ssClassReply;
}

void Class2SendMachine::Commands(MachineEvent& ev) {
  if (!ev.Has("OK")) {
    Fail(ecFaxInitError);
    return;
  }
  switch (m_state) {
  case ssClassReply:
    m_s.SendCommand(m_proto.dialect.localId + "=\"" + m_rec.stationID + "\"");
    m_state = m_is20 ? ssLocalIdReply : ssCapsCommand;
    break;
  case ssLocalIdReply:
    m_s.SendCommand("AT+FLO=2");
    m_state = ssFlowReply;
    break;
  case ssFlowReply:
    m_s.SendCommand("AT+FNR=1,1,1,0");
    m_state = ssCapsCommand;
    break;
  case ssCapsCommand:
    m_s.SendCommand(m_proto.dialect.localCaps + LocalCapsParams(m_proto.wantFine, m_proto.wantWide,
                                                                m_proto.desiredBPS, Offer()));
    m_state = ssCapsReply;
    break;
  default:
    m_state = ssDial;
    return;
  }
  m_s.ArmTimeout(m_proto.responseTicks);
}

void Class2SendMachine::DialResult(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(m_proto.dialect.connectResp)) {
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = ssNegotiate;
  } else {
    Refused(ev, "NO C");
  }
}

void Class2SendMachine::Negotiate(MachineEvent& ev) {
  const ClassDialect& d = m_proto.dialect;
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(d.remoteCaps)) {
    const Class2Params remote = ParseClass2Params(ev.line);
    if ((m_proto.wantWide && !remote.wide) || (m_proto.wantFine && !remote.fine)) {
      Fail(ecFaxBadMachine);
      return;
    }
    m_s.SetStatus(fpSessionParams);
  } else if (ev.Has(d.csiResp)) {
    m_rec.remoteID = ParseRemoteId(ev.line.substr(ev.line.find(d.csiResp)));
    m_s.SetStatus(fpGotRemoteID);
  } else if (ev.Has(d.negotiated)) {
    TakeParams(ev.line);
    m_proto.minBytesPerLine = MinBytesPerLine(m_proto.scanTimeCode, m_proto.fine, m_proto.bps);
    m_s.SetStatus(fpSessionParams);
  } else if (ev.Has("CONNECT")) {
    if (m_is20) {
      ArmPageWait(false);
      m_state = ssOutputSpace;
    } else {
      m_s.ArmTimeout(kXonWaitTicks);
      m_state = ssXonWait;
    }
  } else if (ev.Has("OK")) {
    m_s.SendCommand("AT+FDT");
    m_s.ArmTimeout(kFirstDataTicks);
  } else {
    m_s.ArmTimeout(m_proto.responseTicks);
  }
}

void Class2SendMachine::PageEnd(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  if (!ev.outUsed) {
    DrainInput();
    return;
  }
  uint8_t end[2] = {kDle, kEtx};
  if (m_is20)
    end[1] = m_pages.MorePages() ? ',' : '.';
  m_s.Port().sendBlock(end, 2);
  m_s.SetStatus(fpSendPage);
  m_state = ssPageStatus;
}

void Class2SendMachine::PostPage(MachineEvent& ev) {
  const ClassDialect& d = m_proto.dialect;
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(d.hangupWord)) {
    m_proto.lastHangupCode = ParseHangupCode(ev.line);
  } else if (ev.Has(d.pageStatus)) {
    if (m_state == ssPostPage20)
      return; // Class 2.0 answers OK or ERROR after the status as well
    const char c = ReportCode(ev.line);
    if (c == '1' || c == '3') {
      m_s.SetStatus(fpPageOK);
    } else if (c == '2') {
      m_s.SetStatus(fpPageError);
      m_state = ssRejected;
    } else if (c == '4' || c == '5') {
      Fail(ecCancelRequested);
    } else {
      Fail(ecFaxPageError);
    }
  } else if (ev.Has("OK")) {
    if (m_state == ssPostPage20)
      m_s.SetStatus(fpPageOK);
    m_state = ssNextPage;
  } else if (m_state == ssPostPage20 && ev.Has("ERROR")) {
    m_s.SendCommand("AT+FPS?");
    m_s.SetStatus(fpPageError);
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = ssRejected;
  } else {
    Fail(ecFaxPageError);
  }
}

void Class2SendMachine::Rejected(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  if (ev.Has(m_proto.dialect.pageStatus))
    return; // the answer to AT+FPS?, before its OK
  if (!ev.Has("OK")) {
    Fail(ecFaxSessionError);
    return;
  }
  if (++m_retries > 2) {
    m_s.SendText("AT+FKS\r");
    Fail(ecFaxSessionError);
    return;
  }
  m_s.SendCommand("AT+FDT");
  m_s.ArmTimeout(kFirstDataTicks);
  if (int rc = m_pages.RestartPage()) {
    Fail(rc);
    return;
  }
  m_state = ssNegotiate;
}

} // namespace

std::unique_ptr<FaxMachine> MakeClass2SendMachine(FaxSession& session) {
  return std::make_unique<Class2SendMachine>(session);
}

} // namespace faxengine
