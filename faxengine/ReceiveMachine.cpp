// The steps every receive machine shares.

#include "faxengine/ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

void ReceiveMachine::ShowFirst() {
  if (!m_firstSent) {
    m_firstSent = true;
    m_s.Status(true, false);
  }
}

void ReceiveMachine::NewCall(const std::string& classCommand, int next) {
  m_rec.pageNumber = 0;
  m_rec.pageBytesDone = 0;
  m_rec.ecmFramesResent = 0;
  m_rec.ecmFramesLost = 0;
  m_rec.badRows = 0;
  m_rec.remoteID.clear();
  m_rec.faxFile.clear();
  m_proto.lastHangupCode.clear();
  m_proto.coding = faximage::FaxCoding::Mh;
  m_proto.ecm = false;
  m_proto.ringCount = 0;
  m_hungUp = false;
  m_fileLost = false;
  if (m_rec.constantStatus)
    ShowFirst();
  m_s.Port().setModemLines(true, true);
  m_s.SendCommand(classCommand);
  m_s.ArmTimeout(m_proto.responseTicks);
  m_state = next;
}

bool ReceiveMachine::SetupRing(const MachineEvent& ev) {
  if (!ev.Has("RING"))
    return false;
  ++m_proto.setupRings;
  return true;
}

void ReceiveMachine::StartWaiting() {
  m_s.DisarmTimeout();
  m_s.SetStatus(fpWaiting);
  m_state = rsWaiting;
  const int rings = m_proto.setupRings;
  m_proto.setupRings = 0;
  for (int i = 0; i < rings && m_state == rsWaiting; ++i)
    CountRing();
}

bool ReceiveMachine::CountRing() {
  if (++m_proto.ringCount < m_proto.answerOnRing)
    return false;
  ShowFirst();
  m_state = rsAnswer;
  return true;
}

void ReceiveMachine::Answer(int next) {
  m_s.SendCommand("ATA");
  m_s.ArmTimeout(kPageTicks);
  m_s.SetStatus(fpAnswer);
  m_state = next;
}

void ReceiveMachine::RejectFax() {
  m_s.Error(ecFileRejected);
  m_s.HangUpReceive();
  m_hungUp = true;
  m_s.Log(lfaxReceiveSkip);
  m_state = rsFailure;
}

int ReceiveMachine::CreateFile() {
  m_fileLost = true; // until the file is there
  m_s.RequestName();
  if (m_rec.faxFile.empty())
    return ecNoFilename;
  if (int rc = m_file.Create(m_rec.faxFile, m_rec.remoteID))
    return rc;
  m_fileLost = false;
  m_s.Log(lfaxReceiveStart);
  return 0;
}

int ReceiveMachine::BeginPage() {
  if (int rc = m_file.StartPage(m_proto.fine, m_proto.wide, m_proto.coding))
    return rc;
  m_rec.pageBytesDone = 0;
  m_dle.Reset();
  m_afterConnect = true;
  m_s.ArmTimeout(m_proto.responseTicks);
  return 0;
}

bool ReceiveMachine::StoreBlock(std::vector<uint8_t>& block, bool reverseBits) {
  if (int rc = m_file.Put(block.data(), block.size(), reverseBits)) {
    Fail(rc);
    return false;
  }
  m_rec.pageBytesDone += static_cast<long>(block.size());
  block.clear();
  return true;
}

bool ReceiveMachine::StorePageData(bool reverseBits, bool& ended) {
  // Byte by byte up to DLE ETX: what the modem sends after it (NO CARRIER,
  // a report) is left in the port for the next state.
  std::vector<uint8_t> out;
  out.reserve(kDataBlock);
  uint8_t b;
  ended = false;
  while (!ended && m_s.Port().readByte(b) == 0) {
    // The line feed that ends "CONNECT" is not page data: an MMR page, which
    // has no EOL to start at, would not decode after it.
    const bool lineEnd = m_afterConnect && b == '\n';
    m_afterConnect = false;
    if (lineEnd)
      continue;
    m_dle.Decode(&b, 1, out, ended);
    if ((out.size() >= static_cast<std::size_t>(kDataBlock) || ended) &&
        !StoreBlock(out, reverseBits))
      return false;
  }
  return out.empty() || StoreBlock(out, reverseBits);
}

// There is no rule for judging copy quality; a page with fewer than one
// row in twenty spoilt is good, one with fewer than three in twenty is kept
// but the line is trained again (RTP), and a worse one is rejected (RTN)
// so that the sender may send it again. A page without rows is rejected.
PageQuality JudgePage(int rows, int badRows) {
  if (rows <= 0)
    return PageQuality::Bad;
  if (badRows * 20 < rows)
    return PageQuality::Good;
  return badRows * 20 < rows * 3 ? PageQuality::Poor : PageQuality::Bad;
}

int ReceiveMachine::FinishReceivedPage(PageQuality& quality) {
  if (int rc = m_file.FinishPage(m_rec.remoteID))
    return rc;
  m_rec.badRows += m_file.BadRows();
  quality = JudgePage(m_file.Rows(), m_file.BadRows());
  return 0;
}

void ReceiveMachine::FaxReceived() {
  m_file.Close();
  m_s.Log(lfaxReceiveOk);
  m_rec.faxFile.clear();
  m_s.SetStatus(fpGetHangup);
}

void ReceiveMachine::CallOver() {
  m_s.DisarmTimeout();
  m_s.SwitchBaud(m_rec.initBaud);
  if (m_rec.oneFax) {
    m_s.Status(false, true);
    m_state = rsFinal;
    m_s.Finish();
    return;
  }
  if (!m_rec.constantStatus && m_firstSent) {
    m_s.Status(false, true);
    m_firstSent = false;
  }
  m_state = rsNewCall;
}

void ReceiveMachine::Failure() {
  // A modem that has gone cannot take the next call: the job ends.
  const bool gone = m_s.PortLost();
  m_s.DisarmTimeout();
  if (m_file.IsOpen()) {
    // Keep what arrived: a page cut short still holds its rows so far.
    if (m_file.PageOpen() && m_rec.pageBytesDone > 0)
      m_file.FinishPage(m_rec.remoteID);
    else if (m_file.PageOpen())
      m_file.DropPage();
    m_file.Close();
    m_s.Log(lfaxReceiveFail);
  } else if (m_fileLost) {
    // An accepted fax with nowhere to go is a failed reception too, or the
    // application would never hear of it.
    m_s.Log(lfaxReceiveFail);
  }
  m_fileLost = false;
  if (!m_hungUp)
    m_s.HangUpReceive();
  if ((m_firstSent && !m_rec.constantStatus) || m_aborted || m_rec.exitOnError || gone) {
    m_s.Status(false, true);
    m_firstSent = false;
  }
  if (m_rec.exitOnError || m_aborted || gone) {
    m_state = rsFinal;
    m_s.Finish();
    return;
  }
  m_state = rsNewCall;
}

} // namespace faxengine
