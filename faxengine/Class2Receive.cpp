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

class Class2ReceiveMachine final : public Class2MachineBase, public ReceiveMachine {
public:
  explicit Class2ReceiveMachine(FaxSession& s)
      : ModemMachine(s), Class2MachineBase(s), ReceiveMachine(s) {}

protected:
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
    return ScreenReports(line, m_state == 33, m_state == 34, ecFaxSessionError);
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
  case 1:
    m_doc = Doc::New;
    NewCall(m_proto.dialect.classCmd, 3);
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
    Answer(22);
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
      m_s.SetStatus(fpSessionParams);
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
    CallOver();
    break;
  case 36:
    Failure();
    break;
  default:
    Fail(ecFaxBadModemResult);
    break;
  }
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
  if (int rc = BeginPage()) {
    Fail(rc);
    return;
  }
  m_doc = Doc::Same;
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
      FaxReceived();
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

} // namespace

std::unique_ptr<FaxMachine> MakeClass2ReceiveMachine(FaxSession& session) {
  return std::make_unique<Class2ReceiveMachine>(session);
}

} // namespace faxengine
