// The steps every send machine shares.

#include "faxengine/SendMachine.h"

#include "platform/FxErrors.h"

#include <algorithm>
#include <cctype>

namespace faxengine {

namespace {
constexpr uint8_t kXon = 0x11;
}

bool SendMachine::SharedStep(MachineEvent& ev) {
  switch (m_state) {
  case ssRetryPause:
    if (ev.timeout)
      m_state = ssDial;
    else
      DrainInput();
    return true;
  case ssXonWait:
    WaitXon(ev);
    return true;
  case ssOutputSpace:
    WaitSpace(ev);
    return true;
  case ssCover:
    OpenCover();
    return true;
  case ssApfPage:
    m_pages.BeginApfPage();
    ArmPageWait(false);
    m_state = ssApfPageData;
    return true;
  case ssTextCoverData:
  case ssApfPageData:
    PageData(ev);
    return true;
  case ssJobDone:
    m_s.Status(false, true);
    m_state = ssFinal;
    m_s.Finish();
    return true;
  case ssFailure:
    EndFailedSend();
    return true;
  default:
    return false;
  }
}

bool SendMachine::NextFax() {
  if (!m_s.NextFax()) {
    m_state = ssJobDone;
    return false;
  }
  m_rec.lastError = 0;
  m_rec.dialAttempt = 0;
  m_rec.ecmFramesResent = 0;
  m_rec.ecmFramesLost = 0;
  // Class 1 chooses these from the remote's DIS; the other classes send MH.
  m_proto.coding = faximage::FaxCoding::Mh;
  m_proto.ecmFrames = false;
  m_rec.pageNumber = 0;
  m_rec.remoteID.clear();
  // The history entry of this fax must not show the last call's hang-up.
  m_proto.lastHangupCode.clear();
  m_s.Log(lfaxTransmitStart);
  if (int rc = m_pages.OpenJob()) {
    Fail(rc);
    return false;
  }
  m_state = ssSelectPage;
  return true;
}

void SendMachine::Dial(int next) {
  std::string number = m_rec.phoneNumber;
  for (char& c : number)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  m_s.SendCommand((m_proto.toneDial ? "ATDT" : "ATDP") + m_proto.dialPrefix + number);
  m_s.ArmTimeout(m_proto.dialWait);
  m_s.SetStatus(fpDialing);
  m_state = next;
}

bool SendMachine::Refused(const MachineEvent& ev, const char* noCarrier) {
  if (ev.Has("BUSY") || ev.Has("ANSWER"))
    BusyRule();
  else if (ev.Has("VOICE"))
    Fail(ecFaxVoiceCall);
  else if (ev.Has("NO DIAL"))
    Fail(ecFaxNoDialTone);
  else if (ev.Has(noCarrier))
    Fail(ecFaxNoCarrier);
  else
    return false;
  return true;
}

void SendMachine::BusyRule() {
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
    m_state = ssNextFax;
    return;
  }
  m_s.SetStatus(fpBusyWait);
  m_s.ArmTimeout(m_rec.dialRetryWait);
  m_state = ssRetryPause;
}

void SendMachine::ArmPageWait(bool used) {
  if (used) {
    m_s.ArmOutputUsed(0);
  } else {
    // The page sender adds data only once the queue is down to its minimum
    // with room for a block: a notification before that would find nothing
    // to do and be armed again at once, spinning the dispatcher.
    serial::ComPort& port = m_s.Port();
    const int size = port.outputSize();
    const int wanted = std::max(kDataBlock, size - static_cast<int>(m_rec.bufferMinimum));
    m_s.ArmOutputSpace(static_cast<uint16_t>(std::min(wanted, size)));
  }
  m_s.ArmTimeout(kPageTicks);
}

void SendMachine::EndFailedSend() {
  const bool gone = m_s.PortLost();
  m_pages.CloseAll();
  m_s.DisarmTimeout();
  // From the XON wait to the end of the page the modem is taking page data:
  // anything else written now would be sent as part of the page.
  if (m_failedIn >= ssXonWait && m_failedIn <= ssPageEnd)
    m_s.CloseDataStream(SessionAbortCommand());
  if (m_aborted && !gone)
    SayGoodbye();
  m_s.Log(lfaxTransmitFail);
  m_s.HangUpSend();
  m_s.SwitchBaud(m_rec.initBaud);
  if (!(m_rec.exitOnError || m_rec.abortNoConnect || m_aborted || gone)) {
    m_state = ssNextFax;
    return;
  }
  if (m_aborted)
    m_s.SetStatus(fpCancel);
  m_s.Status(false, true);
  m_state = ssFinal;
  m_s.Finish();
}

void SendMachine::WaitXon(const MachineEvent& ev) {
  // The modem's XON may never come, so the timeout also goes on.
  uint8_t b;
  bool xon = false;
  while (!xon && m_s.Port().readByte(b) == 0)
    xon = b == kXon;
  if (xon || ev.timeout) {
    ArmPageWait(false);
    m_state = ssOutputSpace;
  }
}

void SendMachine::WaitSpace(const MachineEvent& ev) {
  if (ev.outSpace) {
    m_s.SetStatus(fpSendPage);
    m_state = ssPageStart;
  } else if (ev.timeout) {
    Fail(ecTimeout);
  } else {
    DrainInput();
  }
}

void SendMachine::StartPage() {
  m_pages.StartPage();
  m_state = m_pages.CoverPending() ? 24 : 26;
}

void SendMachine::OpenCover() {
  bool text = false;
  if (int rc = m_pages.OpenCover(text)) {
    Fail(rc);
    return;
  }
  if (!text) {
    m_state = ssApfPage;
    return;
  }
  ArmPageWait(false);
  if (m_announceTextCover)
    m_s.SetStatus(fpSendPage);
  m_state = ssTextCoverData;
}

void SendMachine::PageData(const MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  if (!ev.outSpace) {
    DrainInput();
    return;
  }
  const PageSender::Progress p =
      m_state == ssTextCoverData ? m_pages.SendTextCoverData() : m_pages.SendApfData();
  if (p == PageSender::Progress::Failed) {
    Fail(m_pages.LastError());
    return;
  }
  const bool done = p == PageSender::Progress::PageDone;
  ArmPageWait(done);
  if (done)
    m_state = ssPageEnd;
}

void SendMachine::FaxSent() {
  m_pages.CloseAll();
  m_rec.pageNumber = 0;
  m_rec.pageBytesDone = 0;
  m_rec.pageBytesTotal = 0;
  m_s.SetStatus(fpFinished);
  m_s.Status(false, false);
  m_s.Log(lfaxTransmitOk);
  m_s.SwitchBaud(m_rec.initBaud);
  m_state = ssNextFax;
}

} // namespace faxengine
