// Class 1 receiving, phase B: CSI and DIS, the transmitter's TSI and DCS,
// the training check, and CFR.

#include "faxengine/Class1ReceiveMachine.h"

#include "platform/FxErrors.h"

namespace faxengine {

using t30::FrameKind;

namespace {
constexpr int kDisRepeats = 3;
} // namespace

// States 10 to 14: CSI and DIS, then the transmitter's TSI and DCS.
void Class1ReceiveMachine::Answering(MachineEvent& ev) {
  const bool connect = ev.Has("CONNECT"), ok = ev.Has("OK");
  switch (m_state) {
  case rsSendCsi:
    if (ev.timeout) {
      if (m_repeats > 0)
        m_state = rsRepeatDis;
      else
        Fail(ecTimeout);
    } else if (connect) {
      SendFrame(t30::BuildIdentFrame(t30::fcfCsi, m_rec.stationID));
      m_state = rsSendDis;
    }
    break;
  case rsSendDis:
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (connect) {
      SendFrame(t30::BuildFrame(t30::fcfDis,
                                t30::BuildDisFif(m_index, LocalCoding(m_proto.desiredECM)), true));
    } else if (ok) {
      ListenHdlc(); // TSI and DCS follow our DIS at once
      m_s.ArmTimeout(kFrameWaitTicks);
      m_state = rsPhaseB;
    }
    break;
  case rsPhaseB:
    if (ev.timeout) {
      m_state = rsRepeatDis;
    } else if (ok && !LastFinal()) {
      ListenHdlc();
    } else if (ok && LastKind() == FrameKind::Dcs) {
      Flow(true);
      Modulation("AT+FRM=" + Code());
      m_state = rsCheckConnect;
    } else if (ok || ev.Has("ERROR") || ev.Has("RRIER")) {
      m_state = rsRepeatDis; // no DCS: offer again
    }
    break;
  case rsRepeatDis:
    if (++m_repeats > kDisRepeats) {
      Fail(ecTimeout);
      break;
    }
    m_s.SendText("AT\r");
    m_s.ArmTimeout(m_proto.responseTicks);
    m_state = rsRepeatDisCommand;
    break;
  case rsRepeatDisCommand:
    TalkHdlc();
    m_state = rsSendCsi;
    break;
  }
}

// States 15, 16 and 18: the training check and its failure.
void Class1ReceiveMachine::TrainingCheck(MachineEvent& ev) {
  if (m_state == rsCheckConnect) {
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      m_check = {};
      m_checkDle = false;
      m_s.ArmTimeout(m_proto.responseTicks);
      m_state = rsTrainingCheck;
    }
    return;
  }
  if (m_state == rsSendFtt) {
    if (ev.timeout) {
      Fail(ecTimeout);
    } else if (ev.Has("CONNECT")) {
      SendFrame(t30::BuildFrame(t30::fcfFtt, {}, true));
      if (m_index <= 1)
        Fail(ecFaxTrainError);
    } else if (ev.Has("OK")) {
      ListenHdlc();
      m_s.ArmTimeout(kFrameWaitTicks);
      m_state = rsPhaseB;
    }
    return;
  }
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  uint8_t b;
  while (m_s.Port().readByte(b) == 0) {
    if (m_checkDle) {
      m_checkDle = false;
      if (b == t30::kEtx) {
        if (m_check.Passed()) {
          m_state = rsCheckEnded;
        } else {
          TalkHdlc();
          m_state = rsSendFtt;
        }
        return;
      }
    } else if (b == t30::kDle) {
      m_checkDle = true;
    }
    m_check.Count(b);
  }
}

// States 19 to 21: CFR, the first page's carrier and the fax accepted.
void Class1ReceiveMachine::Confirm(MachineEvent& ev) {
  if (ev.timeout) {
    Fail(ecTimeout);
    return;
  }
  if (m_state == rsCheckEnded) {
    if (ev.Has("RRIER")) {
      Flow(false);
      FaxSession::DelayMs(20);
      TalkHdlc();
      m_state = rsSendCfr;
    }
  } else if (m_state == rsSendCfr) {
    if (ev.Has("CONNECT")) {
      Flow(true);
      SendFrame(t30::BuildFrame(t30::fcfCfr, {}, true));
    } else if (ev.Has("OK")) {
      Modulation("AT+FRM=" + PageCode());
      m_state = rsPageConnect;
      if (m_file.IsOpen())
        return; // trained again after RTP or RTN: the fax goes on
      if (!m_s.AcceptFax()) {
        RejectFax();
        return;
      }
      if (int rc = CreateFile())
        Fail(rc);
    }
  } else if (ev.Has("CONNECT")) {
    m_s.SetStatus(fpSessionParams);
    m_state = rsPageStart;
  } else if (m_ecmInPage && ev.Has("+FCERROR")) {
    // V.21 where page data was expected: the sender's CTC (or its PPS
    // again); the frames are read as post-page frames.
    ListenHdlc();
    m_state = rsPostPageFrames;
  }
}

} // namespace faxengine
