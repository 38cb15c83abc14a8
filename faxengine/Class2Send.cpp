// The Class 2 / 2.0 send machine: class and capability commands, dialling
// with redial, negotiation, page data, post-page exchange, and the job loop
// over the faxes of a send job.

#include "faxengine/Class2Machine.h"
#include "faxengine/Class2Protocol.h"
#include "faxengine/FaxPageSender.h"

#include "platform/FxErrors.h"
#include "platform/TickClock.h"

#include <cctype>

namespace faxengine {

namespace {

constexpr uint8_t kDle = 0x10, kEtx = 0x03, kXon = 0x11;

class Class2SendMachine final : public Class2MachineBase {
public:
  explicit Class2SendMachine(FaxSession& s) : Class2MachineBase(s), m_pages(s) {}

protected:
  int FinalState() const override { return 47; }
  int FailureState() const override { return 46; }

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
    case 21:
    case 22:
    case 25:
    case 27:
    case 28:
    case 47:
      return Loop::Return;
    default:
      return Loop::WhileInput;
    }
  }

  bool Screen(const std::string& line) override {
    if (line.find("ERROR") != std::string::npos && m_state != 43) {
      Fail(ecFaxBadModemResult);
      return true;
    }
    if (line.find(m_proto.dialect.hangupWord) != std::string::npos && m_state != 40 &&
        m_state != 43) {
      m_proto.lastHangupCode = ParseHangupCode(line);
      Fail(ecFaxBadModemResult);
      return true;
    }
    return false;
  }

  void Step(MachineEvent& ev) override;

private:
  void NextFax();
  void Setup();
  void Commands(MachineEvent& ev);
  void DialResult(MachineEvent& ev);
  void BusyRule();
  void Negotiate(MachineEvent& ev);
  void PageData(MachineEvent& ev);
  void PageEnd(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void Rejected(MachineEvent& ev);
  void Failure();
  void ArmPageWait(bool used) {
    if (used)
      m_s.ArmOutputUsed(0);
    else
      m_s.ArmOutputSpace(kOutputSpaceWanted);
    m_s.ArmTimeout(kPageTicks);
  }
  void TakeParams(const std::string& line) {
    const Class2Params p = ParseClass2Params(line);
    m_proto.fine = p.fine;
    m_proto.wide = p.wide;
    m_proto.ecm = p.ecm;
    m_proto.bps = p.bps;
    m_proto.bpsCode = p.bpsCode - '0';
    m_proto.scanTimeCode = p.scanTime;
    m_proto.minBytesPerLine = MinBytesPerLine(p.scanTime, p.fine, p.bps);
  }

  PageSender m_pages;
  int m_retries = 0;
};

void Class2SendMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case 1:
    NextFax();
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
  case 9: {
    std::string number = m_rec.phoneNumber;
    for (char& c : number)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    m_s.SendCommand((m_proto.toneDial ? "ATDT" : "ATDP") + m_proto.dialPrefix + number);
    m_s.ArmTimeout(m_proto.dialWait);
    m_s.SetStatus(fpDialing);
    m_state = 19;
    break;
  }
  case 10:
    if (ev.timeout)
      m_state = 9;
    else
      DrainInput();
    break;
  case 19:
    DialResult(ev);
    break;
  case 20:
    Negotiate(ev);
    break;
  case 21: {
    // Wait for the modem's XON; it may never come, so the timeout also goes on.
    uint8_t b;
    bool xon = false;
    while (!xon && m_s.Port().readByte(b) == 0)
      xon = b == kXon;
    if (xon || ev.timeout) {
      ArmPageWait(false);
      m_state = 22;
    }
    break;
  }
  case 22:
    if (ev.outSpace) {
      m_s.SetStatus(fpSendPage);
      m_state = 23;
    } else if (ev.timeout) {
      Fail(ecTimeout);
    } else {
      DrainInput();
    }
    break;
  case 23:
    m_pages.StartPage();
    m_state = m_pages.CoverPending() ? 24 : 26;
    break;
  case 24: {
    bool text = false;
    if (int rc = m_pages.OpenCover(text)) {
      Fail(rc);
      break;
    }
    if (text) {
      ArmPageWait(false);
      m_s.SetStatus(fpSendPage);
      m_state = 25;
    } else {
      m_state = 26;
    }
    break;
  }
  case 26:
    m_pages.BeginApfPage();
    ArmPageWait(false);
    m_state = 27;
    break;
  case 25:
  case 27:
    PageData(ev);
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
    m_pages.CloseAll();
    m_rec.pageNumber = 0;
    m_rec.pageBytesDone = 0;
    m_rec.pageBytesTotal = 0;
    m_s.SetStatus(fpFinished);
    m_s.Status(false, false);
    m_s.Log(lfaxTransmitOk);
    m_s.SwitchBaud(m_rec.initBaud);
    m_state = 1;
    break;
  case 45:
    m_s.Status(false, true);
    m_state = 47;
    m_s.Finish();
    break;
  case 46:
    Failure();
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
}

void Class2SendMachine::NextFax() {
  if (!m_s.NextFax()) {
    m_state = 45;
    return;
  }
  m_rec.lastError = 0;
  m_rec.dialAttempt = 0;
  m_rec.pageNumber = 0;
  m_rec.remoteID.clear();
  m_retries = 0;
  m_s.Log(lfaxTransmitStart);
  if (int rc = m_pages.OpenJob()) {
    Fail(rc);
    return;
  }
  if (m_rec.softwareFlow)
    m_s.Port().setFlow({true, false, false});
  m_state = 2;
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
  } else if (ev.Has("BUSY") || ev.Has("ANSWER")) {
    BusyRule();
  } else if (ev.Has("VOICE")) {
    Fail(ecFaxVoiceCall);
  } else if (ev.Has("NO DIAL")) {
    Fail(ecFaxNoDialTone);
  } else if (ev.Has("NO C")) {
    Fail(ecFaxNoCarrier);
  }
}

void Class2SendMachine::BusyRule() {
  ++m_rec.dialAttempt;
  if (m_rec.dialAttempts != 0 && m_rec.dialAttempt >= m_rec.dialAttempts) {
    m_s.Status(false, false);
    if (m_rec.abortNoConnect) {
      Fail(ecFaxBusy);
      return;
    }
    m_pages.CloseAll();
    m_s.Error(ecFaxBusy);
    m_s.Log(lfaxTransmitFail);
    m_state = 1;
    return;
  }
  m_s.SetStatus(fpBusyWait);
  m_s.ArmTimeout(m_rec.dialRetryWait);
  m_state = 10;
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

void Class2SendMachine::PageData(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  if (!ev.outSpace) {
    DrainInput();
    return;
  }
  const PageSender::Progress p =
      m_state == 25 ? m_pages.SendTextCoverData() : m_pages.SendApfData();
  if (p == PageSender::Progress::Failed) {
    Fail(m_pages.LastError());
    return;
  }
  const bool done = p == PageSender::Progress::PageDone;
  ArmPageWait(done);
  if (done)
    m_state = 28;
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

void Class2SendMachine::Failure() {
  m_state = EndFailedSend(m_s, m_pages, m_aborted);
}

} // namespace

std::unique_ptr<FaxMachine> MakeClass2SendMachine(FaxSession& session) {
  return std::make_unique<Class2SendMachine>(session);
}

} // namespace faxengine
