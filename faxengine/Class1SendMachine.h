#pragma once
// The Class 1 send machine. Its states:
//   1 next fax        2 set-up            3 class command     9 dial
//   10 busy wait      11 dial result and the remote's DIS
//   12-18 TSI, DCS, training check and CFR (Class1SendNegotiation.cpp)
//   21-27 page data (SendMachine)     28 end of page data
//   29-34 post-page exchange          35-37 DCN and hang-up (Class1SendPages.cpp)
//   44 fax sent       45 job done         46 failure          47 final
//   48-51 ECM: a block's frames (again), CTC and CTR (Class1SendEcm.cpp)

#include "faxengine/Class1Machine.h"
#include "faxengine/SendMachine.h"

namespace faxengine {

class Class1SendMachine final : public Class1MachineBase, public SendMachine {
public:
  explicit Class1SendMachine(FaxSession& s)
      : ModemMachine(s), Class1MachineBase(s), SendMachine(s) {}

protected:
  std::span<const StateInfo> States() const override;

  void Step(MachineEvent& ev) override;
  void OnFrame(const t30::Frame& frame) override;
  void SayGoodbye() override;

private:
  void Setup();
  void DialResult(MachineEvent& ev);
  void Training(MachineEvent& ev);
  void PageStates(MachineEvent& ev);
  void PostPage(MachineEvent& ev);
  void AfterPostPage();
  void FallBack();
  void Hangup(MachineEvent& ev);
  void SendTraining();
  // Error correction (Class1SendEcm.cpp).
  std::vector<uint8_t> PostPageFrame();
  void AfterEcmAnswer();
  void EcmStates(MachineEvent& ev);
  void SendEcmFrames(const uint8_t* wanted, bool longTraining);
  void ContinueToCorrect();
  void PageConfirmed(t30::FrameKind kind);

  t30::SpeedSet m_remote;
  t30::CodingSet m_coding; // chosen in the DCS
  uint8_t m_pprMap[kPprMapBytes] = {};
  int m_pprCount = 0;     // PPRs for the current block
  bool m_sendRr = false;  // the receiver said RNR: ask again with RR
  bool m_sendEor = false; // the missing frames are given up: EOR, not PPS
  int m_rnrCount = 0;     // RNRs in a row
  bool m_cfr = false;
  bool m_carrierSeen = false;
  bool m_restartPage = false;
  int m_attempts = 0;
};

} // namespace faxengine
