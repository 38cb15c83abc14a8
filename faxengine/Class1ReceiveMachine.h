#pragma once
// The Class 1 receive machine. Its states:
//   1 new call        2 class command     8 waiting for rings 9 answer
//   10-14 CSI and DIS, then TSI and DCS   15, 16, 18 training check
//   19-21 CFR and the fax accepted (Class1ReceiveNegotiation.cpp)
//   25, 26 page data  27-30 post-page message and MCF
//   31, 32 DCN and hang-up (Class1ReceivePages.cpp); with error
//   correction 25 to 30 take each block and answer PPS with MCF or PPR,
//   and CTC with CTR (Class1ReceiveEcm.cpp)
//   35 call over      36 failure          37 final

#include "faxengine/Class1Machine.h"
#include "faxengine/EcmBlockReader.h"
#include "faxengine/ReceiveMachine.h"

namespace faxengine {

class Class1ReceiveMachine final : public Class1MachineBase, public ReceiveMachine {
public:
  explicit Class1ReceiveMachine(FaxSession& s)
      : ModemMachine(s), Class1MachineBase(s), ReceiveMachine(s) {}

protected:
  std::span<const StateInfo> States() const override;

  void Step(MachineEvent& ev) override;
  void OnFrame(const t30::Frame& frame) override;

private:
  void StartCall();
  void Waiting(MachineEvent& ev);
  void Answering(MachineEvent& ev);
  void TrainingCheck(MachineEvent& ev);
  void Confirm(MachineEvent& ev);
  void PageStart();
  void PageData(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void CallEnd(MachineEvent& ev);
  void FinishPageWithoutEcm();
  void EcmData(bool& ended);
  void EcmAnswer();
  void EcmBlockDone(uint8_t pageEnd, int frames, uint8_t answer);
  void Flow(bool on) {
    if (m_rec.softwareFlow)
      m_s.Port().setFlow({false, false, on});
  }

  t30::TrainingCheck m_check;
  bool m_checkDle = false;
  // After the answer to a post-page message: receive again (the next page,
  // or with error correction the next block or frames again).
  bool m_mps = false;
  // Our answer was RTP or RTN: the sender trains again next. A rejected
  // page stays in the file: some senders send it again, others go on to
  // the next page, and a page with spoilt rows is better than none. A DCN
  // instead of the training ends the call with the fax received.
  bool m_retrain = false, m_rejected = false;
  std::vector<uint8_t> m_reply;   // the answer to the post-page message
  std::vector<uint8_t> m_lastFif; // of the last PPS or CTC
  EcmBlockReader m_ecm;
  bool m_ecmInPage = false;    // a page with error correction is under way
  int m_blockFrames = 0;       // frames in the block, as the PPSs say
  bool m_longTraining = false; // a new speed after CTC
  int m_repeats = 0;
};

} // namespace faxengine
