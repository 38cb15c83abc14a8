// The parts shared by the Class 1 machines: lines and frames taken from the
// modem's output, the loop rule, and the modulation commands.

#include "faxengine/Class1Machine.h"

namespace faxengine {

void Class1MachineBase::Modulation(const std::string& command, int delayMs) {
  if (delayMs > 0)
    FaxSession::DelayMs(delayMs);
  FaxSession::DelayMs(40);
  if (command == "AT+FRH=3")
    m_haveFrame = false;
  m_s.SendText(command + "\r");
  m_s.ArmTimeout(m_proto.responseTicks);
}

void Class1MachineBase::SendFrame(const std::vector<uint8_t>& bytes) {
  FaxSession::DelayMs(20);
  m_s.Port().sendBlock(bytes.data(), bytes.size());
}

t30::CodingSet Class1MachineBase::LocalCoding(bool ecm) const {
  t30::CodingSet local;
  local.mr = m_proto.desired2D && m_proto.port2D;
  local.ecm = ecm && m_proto.portEcm;
  local.mmr = local.ecm && local.mr;
  return local;
}

void Class1MachineBase::TakeRemoteIdent(const t30::Frame& frame) {
  m_rec.remoteID = t30::ReadIdent(frame.fif.data(), frame.fif.size());
  m_s.SetStatus(fpGotRemoteID);
}

bool Class1MachineBase::ReadResponse(std::string& line) {
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
    // A frame starts with its address byte where a line would start; line
    // ends inside it are frame bytes, and DLE ETX ends it.
    if (!m_inFrame && m_lines.Empty() && b == t30::kAddress)
      m_inFrame = true;
    if (!m_inFrame) {
      if (m_lines.Put(b, line))
        return true;
      continue;
    }
    if (m_reader.Put(b) == t30::FrameReader::Result::More)
      continue;
    m_inFrame = false;
    t30::Frame frame;
    if (m_reader.Take(frame)) {
      m_haveFrame = true;
      m_lastFinal = frame.final;
      m_lastFcf = frame.fcf;
      const int before = m_state;
      OnFrame(frame);
      if (m_state != before)
        return false;
    }
  }
  return false;
}

} // namespace faxengine
