// Class 1 sending, phase B: TSI and DCS, the training check, and the
// fall-back to a lower speed when the receiver does not confirm it.

#include "faxengine/Class1SendMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

void Class1SendMachine::SendTraining() {
  std::vector<uint8_t> tcf(t30::TrainingBytes(m_proto.bps), 0);
  tcf.push_back(t30::kDle);
  tcf.push_back(t30::kEtx);
  m_s.Port().sendBlock(tcf.data(), tcf.size());
}

// States 12 to 18: TSI and DCS, the training check, and the answer to it.
void Class1SendMachine::Training(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  const bool connect = ev.Has("CONNECT"), ok = ev.Has("OK");
  switch (m_state) {
  case ssSendTsi:
    if (connect) {
      SendFrame(t30::BuildIdentFrame(t30::fcfTsi, m_rec.stationID));
      m_state = ssSendDcs;
    }
    break;
  case ssSendDcs:
    if (connect) {
      SendFrame(t30::BuildFrame(
          t30::fcfDcs,
          t30::BuildDcsFif(m_index, m_proto.fine, m_proto.wide, m_proto.scanTimeCode, m_coding),
          true));
      m_state = ssTrainCommand;
    }
    break;
  case ssTrainCommand:
    if (ok) {
      Modulation("AT+FTM=" + Code());
      m_state = ssTraining;
    }
    break;
  case ssTraining:
    if (connect) {
      if (m_rec.softwareFlow)
        m_s.Port().setFlow({false, true, false});
      SendTraining();
      m_state = ssTrainingSent;
    }
    break;
  case ssTrainingSent:
    if (ok) {
      if (m_rec.softwareFlow)
        m_s.Port().setFlow({});
      m_cfr = false;
      ListenHdlc(); // the answer follows our carrier at once
      m_state = ssTrainingAnswer;
    }
    break;
  case ssTrainingAnswer:
    if ((ok && !LastFinal()) || ev.Has("ERROR")) {
      ListenHdlc();
    } else if (ok && m_cfr) {
      Modulation("AT+FTM=" + PageCode(), 200);
      m_state = ssPageCommand;
    } else if (ok && LastKind() == FrameKind::Ftt) {
      FallBack();
    } else if (ok) {
      TalkHdlc(200);
      m_state = ssSendDcs;
    }
    break;
  case ssPageCommand:
    // A Class 1 modem sends no XON after CONNECT (only Class 2 modems do):
    // the page data starts at once, as the modem's training ends soon.
    if (connect) {
      ArmPageWait(false);
      m_state = ssOutputSpace;
    }
    break;
  }
}

void Class1SendMachine::FallBack() {
  m_index = m_local.Below(m_remote, m_index);
  if (m_index == 0) {
    Fail(ecFaxTrainError);
    return;
  }
  m_proto.bps = t30::SpeedOfIndex(m_index);
  m_proto.minBytesPerLine = MinBytesPerLine(m_proto.scanTimeCode, m_proto.fine, m_proto.bps);
  TalkHdlc(200);
  m_state = ssSendDcs;
}

} // namespace faxengine
