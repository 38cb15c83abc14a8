// The Class 2 / 2.0 receive machine: modem set-up, waiting for rings,
// answering, page data with DLE framing into the received APF file, page
// status and post-page reports, and the call loop.

#include "faxengine/Class2Machine.h"
#include "faxengine/Class2Protocol.h"
#include "faxengine/FaxPageSender.h"

#include "platform/FxErrors.h"

namespace faxengine {

namespace {

constexpr uint8_t kDc2 = 0x12;
enum class Doc { New, Same, End };

class Class2ReceiveMachine final : public Class2MachineBase {
public:
  explicit Class2ReceiveMachine(FaxSession& s) : Class2MachineBase(s) {}

protected:
  int FinalState() const override { return 37; }
  int FailureState() const override { return 36; }

  Kind KindOf(int state) const override {
    switch (state) {
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
    case 22:
    case 23:
    case 24:
    case 33:
    case 34:
      return Kind::Line;
    case 26:
      return Kind::Trigger;
    default:
      return Kind::Action;
    }
  }

  Loop LoopAfter(int state) const override {
    switch (state) {
    case 1:
    case 9:
    case 25:
    case 35:
    case 36:
      return Loop::AtOnce;
    case 26:
    case 37:
      return Loop::Return;
    default:
      return Loop::WhileInput;
    }
  }

  bool Screen(const std::string& line) override {
    if (line.find("ERROR") != std::string::npos && m_state != 33) {
      Fail(ecFaxBadModemResult);
      return true;
    }
    if (line.find(m_proto.dialect.hangupWord) != std::string::npos && m_state != 34) {
      m_proto.lastHangupCode = ParseHangupCode(line);
      Fail(ecFaxSessionError);
      return true;
    }
    return false;
  }

  void Step(MachineEvent& ev) override;

private:
  void NewCall();
  void Commands(MachineEvent& ev);
  void Waiting(MachineEvent& ev);
  void Validated(MachineEvent& ev);
  void PageStart();
  void PageData(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void Failure();
  int CreateFile();
  void TakeParams(const std::string& line) {
    const Class2Params p = ParseClass2Params(line);
    m_proto.fine = p.fine;
    m_proto.wide = p.wide;
    m_proto.ecm = p.ecm;
    m_proto.bps = p.bps;
    m_proto.bpsCode = p.bpsCode - '0';
    m_proto.scanTimeCode = p.scanTime;
    m_s.SetStatus(fpSessionParams);
  }
  void ShowFirst() {
    if (!m_firstSent) {
      m_firstSent = true;
      m_s.Status(true, false);
    }
  }

  ReceivedFile m_file;
  DleDecoder m_dle;
  Doc m_doc = Doc::New;
  bool m_firstSent = false;
  bool m_hungUp = false;
};

void Class2ReceiveMachine::Step(MachineEvent& ev) {
  switch (m_state) {
  case 1:
    NewCall();
    break;
  case 3:
  case 4:
  case 5:
  case 7:
    Commands(ev);
    break;
  case 8:
    Waiting(ev);
    break;
  case 9:
    m_s.SendCommand("ATA");
    m_s.ArmTimeout(kPageTicks);
    m_s.SetStatus(fpAnswer);
    m_state = 22;
    break;
  case 22:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has(m_proto.dialect.connectResp)) {
      m_s.ArmTimeout(m_proto.responseTicks);
      m_s.SetStatus(fpIncoming);
      m_state = 23;
    }
    break;
  case 23:
    Validated(ev);
    break;
  case 24:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has(m_proto.dialect.negotiated)) {
      TakeParams(ev.line);
    } else if (ev.Has("CONNECT")) {
      if (m_rec.softwareFlow)
        m_s.Port().setFlow({false, false, true});
      m_state = 25;
    }
    break;
  case 25:
    PageStart();
    break;
  case 26:
    PageData(ev);
    break;
  case 33:
    PostPage(ev);
    break;
  case 34:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has(m_proto.dialect.hangupWord)) {
      m_proto.lastHangupCode = ParseHangupCode(ev.line);
      m_s.SetStatus(fpGotHangup);
    } else if (ev.Has("+FET")) {
      m_s.SetStatus(fpGetHangup);
    } else if (ev.Has("OK")) {
      m_state = 35;
    }
    break;
  case 35:
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
    break;
  case 36:
    Failure();
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
}

void Class2ReceiveMachine::NewCall() {
  m_rec.pageNumber = 0;
  m_rec.pageBytesDone = 0;
  m_rec.remoteID.clear();
  m_rec.faxFile.clear();
  m_proto.ringCount = 0;
  m_doc = Doc::New;
  m_hungUp = false;
  if (m_rec.constantStatus)
    ShowFirst();
  m_s.Port().setModemLines(true, true);
  m_s.SendCommand(m_proto.dialect.classCmd);
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = 3;
}

void Class2ReceiveMachine::Commands(MachineEvent& ev) {
  if (!ev.Has("OK")) {
    Fail(ev.timeout ? ecTimeout : ecFaxInitError);
    return;
  }
  switch (m_state) {
  case 3:
    m_s.SwitchBaud(m_rec.normalBaud);
    m_s.SendCommand(m_proto.dialect.modemCaps +
                    ModemCapsParams(m_proto.desiredBPS, m_proto.desiredECM));
    m_state = m_is20 ? 4 : 7;
    break;
  case 4:
    m_s.SendCommand("AT+FLO=2");
    m_state = 5;
    break;
  case 5:
    m_s.SendCommand("AT+FNR=1,1,1,0");
    m_state = 7;
    break;
  default:
    m_s.DisarmTimeout();
    m_s.SetStatus(fpWaiting);
    m_state = 8;
    return;
  }
  m_s.ArmTimeout(m_proto.responseTicks);
}

void Class2ReceiveMachine::Waiting(MachineEvent& ev) {
  if (ev.Has("RING")) {
    if (++m_proto.ringCount >= m_proto.answerOnRing) {
      ShowFirst();
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = 9;
    }
  } else if (ev.Has("NO C")) {
    m_s.SetStatus(fpNoConnect);
  } else if (ev.Has("CONNECT")) {
    Fail(ecFaxDataCall);
  } else if (ev.Has("VOICE")) {
    Fail(ecFaxVoiceCall);
  }
}

int Class2ReceiveMachine::CreateFile() {
  m_s.RequestName();
  if (m_rec.faxFile.empty())
    return ecNoFilename;
  if (int rc = m_file.Create(m_rec.faxFile, m_rec.remoteID))
    return rc;
  m_s.Log(lfaxReceiveStart);
  return 0;
}

void Class2ReceiveMachine::Validated(MachineEvent& ev) {
  const ClassDialect& d = m_proto.dialect;
  if (ev.timeout) {
    Fail(ecTimeout);
  } else if (ev.Has(d.tsiResp)) {
    m_rec.remoteID = ParseRemoteId(ev.line.substr(ev.line.find(d.tsiResp)));
    if (!m_s.AcceptFax()) {
      m_s.SendText("AT+FKS\r");
      m_s.Error(ecFileRejected);
      m_s.HangUpReceive();
      m_hungUp = true;
      m_s.Log(lfaxReceiveSkip);
      m_state = 36;
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
  } else if (ev.Has("OK")) {
    m_s.SendCommand("AT+FDR");
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = 24;
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
  if (int rc = m_file.StartPage(m_proto.fine, m_proto.wide)) {
    Fail(rc);
    return;
  }
  m_doc = Doc::Same;
  m_rec.pageBytesDone = 0;
  m_dle.Reset();
  m_s.ArmTimeout(m_proto.responseTicks);
  const uint8_t dc2 = kDc2;
  m_s.Port().sendBlock(&dc2, 1);
  m_s.SetStatus(fpGetPage);
  m_state = 26;
}

void Class2ReceiveMachine::PageData(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  // Class 2 modems deliver the bits of each byte in the opposite order.
  const bool reverse = !m_is20;
  std::vector<uint8_t> out;
  out.reserve(4096);
  uint8_t b;
  bool ended = false;
  while (!ended && m_s.Port().readByte(b) == 0) {
    m_dle.Decode(&b, 1, out, ended);
    if (out.size() >= 4096 || ended) {
      if (int rc = m_file.Put(out.data(), out.size(), reverse)) {
        Fail(rc);
        return;
      }
      m_rec.pageBytesDone += static_cast<long>(out.size());
      out.clear();
    }
  }
  if (!out.empty()) {
    if (int rc = m_file.Put(out.data(), out.size(), reverse)) {
      Fail(rc);
      return;
    }
    m_rec.pageBytesDone += static_cast<long>(out.size());
  }
  if (!ended) {
    m_s.ArmTimeout(m_proto.responseTicks);
    return;
  }
  m_s.SetStatus(fpGetPage);
  m_s.ClearLineBuffer();
  if (m_rec.softwareFlow)
    m_s.Port().setFlow({true, false, false});
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = 33;
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
      m_file.Close();
      m_s.Log(lfaxReceiveOk);
      m_rec.faxFile.clear();
      m_s.SetStatus(fpGetHangup);
      m_state = 34;
    } else {
      m_state = 24;
    }
  } else if (ev.Has("ERROR")) {
    m_file.DropPage();
    m_s.SendCommand("AT+FDR");
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = 24;
  }
}

void Class2ReceiveMachine::Failure() {
  m_s.DisarmTimeout();
  if (m_file.IsOpen()) {
    // Keep what arrived: a page cut short still holds its rows so far.
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

std::unique_ptr<FaxMachine> MakeClass2ReceiveMachine(FaxSession& session) {
  return std::make_unique<Class2ReceiveMachine>(session);
}

} // namespace faxengine
