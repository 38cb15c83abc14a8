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

class Class2SendMachine final : public Class2MachineBase, public SendMachine {
public:
  explicit Class2SendMachine(FaxSession& s)
      : ModemMachine(s), Class2MachineBase(s), SendMachine(s) {
    m_announceTextCover = true;
  }

protected:
  Kind KindOf(int state) const override {
    switch (state) {
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 19:
    case 20:
    case 39:
    case 40:
    case 41:
    case 43:
      return Kind::Line;
    case 10:
    case 21:
    case 22:
    case 25:
    case 27:
    case 28:
      return Kind::Trigger;
    default:
      return Kind::Action;
    }
  }

  Loop LoopAfter(int state) const override {
    switch (state) {
    case 1:
    case 2:
    case 9:
    case 23:
    case 24:
    case 26:
    case 30:
    case 38:
    case 42:
    case 44:
    case 45:
    case 46:
      return Loop::AtOnce;
    case 10:
    case 22:
    case 25:
    case 27:
    case 28:
    case 47:
      return Loop::Return;
    case 21:
      // The modem's XON mostly comes in the same read as CONNECT: look for
      // it at once rather than wait out its timeout.
      return Loop::WhileInput;
    default:
      return Loop::WhileInput;
    }
  }

  bool Screen(const std::string& line) override {
    return ScreenReports(line, m_state == 43, m_state == 40 || m_state == 43, ecFaxBadModemResult);
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
  case 1:
    OpenFax();
    break;
  case 2:
    Setup();
    break;
  case 3:
  case 4:
  case 5:
  case 6:
  case 7:
  case 8:
    Commands(ev);
    break;
  case 9:
    Dial(19);
    break;
  case 19:
    DialResult(ev);
    break;
  case 20:
    Negotiate(ev);
    break;
  case 23:
    StartPage();
    break;
  case 28:
    PageEnd(ev);
    break;
  case 38:
    m_s.ArmTimeout(kPageTicks);
    m_s.SetStatus(fpSendPageStatus);
    m_state = m_is20 ? 43 : 39;
    break;
  case 39:
    if (!ev.Has("OK")) {
      Fail(ecFaxSessionError);
      break;
    }
    m_s.SendCommand(m_pages.MorePages() ? "AT+FET=0" : "AT+FET=2");
    m_s.ArmTimeout(kPageTicks);
    m_state = 40;
    break;
  case 40:
  case 43:
    PostPage(ev);
    break;
  case 41:
    Rejected(ev);
    break;
  case 42:
    if (!m_pages.MorePages()) {
      m_state = 44;
      break;
    }
    if (int rc = m_pages.AdvancePage()) {
      Fail(rc);
      break;
    }
    m_s.SendCommand("AT+FDT");
    m_s.ArmTimeout(kFirstDataTicks);
    m_state = 20;
    break;
  case 44:
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
  m_state = 4;
}

void Class2SendMachine::Commands(MachineEvent& ev) {
  if (!ev.Has("OK")) {
    Fail(ecFaxInitError);
    return;
  }
  switch (m_state) {
  case 4:
    m_s.SendCommand(m_proto.dialect.localId + "=\"" + m_rec.stationID + "\"");
    m_state = m_is20 ? 5 : 7;
    break;
  case 5:
    m_s.SendCommand("AT+FLO=2");
    m_state = 6;
    break;
  case 6:
    m_s.SendCommand("AT+FNR=1,1,1,0");
    m_state = 7;
    break;
  case 7:
    m_s.SendCommand(m_proto.dialect.localCaps + LocalCapsParams(m_proto.wantFine, m_proto.wantWide,
                                                                m_proto.desiredBPS,
                                                                m_proto.desiredECM));
    m_state = 8;
    break;
  default:
    m_state = 9;
    return;
  }
  m_s.ArmTimeout(m_proto.responseTicks);
}

void Class2SendMachine::DialResult(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(m_proto.dialect.connectResp)) {
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = 20;
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
      m_state = 22;
    } else {
      m_s.ArmTimeout(kXonWaitTicks);
      m_state = 21;
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
  m_state = 38;
}

void Class2SendMachine::PostPage(MachineEvent& ev) {
  const ClassDialect& d = m_proto.dialect;
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(d.hangupWord)) {
    m_proto.lastHangupCode = ParseHangupCode(ev.line);
  } else if (ev.Has(d.pageStatus)) {
    if (m_state == 43)
      return; // Class 2.0 answers OK or ERROR after the status as well
    const char c = ReportCode(ev.line);
    if (c == '1' || c == '3') {
      m_s.SetStatus(fpPageOK);
    } else if (c == '2') {
      m_s.SetStatus(fpPageError);
      m_state = 41;
    } else if (c == '4' || c == '5') {
      Fail(ecCancelRequested);
    } else {
      Fail(ecFaxPageError);
    }
  } else if (ev.Has("OK")) {
    if (m_state == 43)
      m_s.SetStatus(fpPageOK);
    m_state = 42;
  } else if (m_state == 43 && ev.Has("ERROR")) {
    m_s.SendCommand("AT+FPS?");
    m_s.SetStatus(fpPageError);
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = 41;
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
  m_state = 20;
}

} // namespace

std::unique_ptr<FaxMachine> MakeClass2SendMachine(FaxSession& session) {
  return std::make_unique<Class2SendMachine>(session);
}

} // namespace faxengine
