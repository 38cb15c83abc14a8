#pragma once
// The part of the receive machines that is the same in every class: a new
// call and the wait for rings, the received file, page data stored as it
// arrives, and the end of a call. The shared states have the same numbers
// in every class:
//   1 new call   8 waiting for rings   9 answer   26 page data
//   35 call over   36 failure   37 final

#include "faxengine/ModemMachine.h"
#include "faxengine/ReceivedFile.h"

namespace faxengine {

// The receive machine's states, by the numbers of the design (shared by every
// class; each class uses those of them that it needs).
enum ReceiveState : int {
  rsNewCall = 1,
  rsClass1Reply = 2,
  rsClassReply = 3,
  rsCapsReply = 4,
  rsFlowReply = 5,
  rsSetupReply = 7,
  rsWaiting = 8,
  rsAnswer = 9,
  rsSendCsi = 10,
  rsSendDis = 11,
  rsPhaseB = 12,
  rsRepeatDis = 13,
  rsRepeatDisCommand = 14,
  rsCheckConnect = 15,
  rsTrainingCheck = 16,
  rsSendFtt = 18,
  rsCheckEnded = 19,
  rsSendCfr = 20,
  rsPageConnect = 21,
  rsConnected = 22,
  rsRemoteId = 23,
  rsParams = 24,
  rsPageStart = 25,
  rsPageData = 26,
  rsPageCarrierEnd = 27,
  rsPostPageFrames = 28,
  rsFinishPage = 29,
  rsSendMcf = 30,
  rsWaitDcn = 31,
  rsHangupReply = 32,
  rsPageStatus = 33,
  rsPostPage = 34,
  rsCallOver = 35,
  rsFailure = 36,
  rsFinal = 37,
};

// How a received page came through, judged by the share of its rows that
// did not decode: the receiver answers MCF, RTP or RTN by it.
enum class PageQuality { Good, Poor, Bad };
PageQuality JudgePage(int rows, int badRows);

class ReceiveMachine : public virtual ModemMachine {
protected:
  explicit ReceiveMachine(FaxSession& session) : ModemMachine(session) {}

  int FinalState() const override { return rsFinal; }
  int FailureState() const override { return rsFailure; }

  // State 1: forgets the last call and sends the class command; its answer
  // comes in state `next`.
  void NewCall(const std::string& classCommand, int next);
  // A RING while a set-up command waits for its answer: kept for the wait
  // for rings. True when the line was a RING.
  bool SetupRing(const MachineEvent& ev);
  // The set-up is done: on to state 8, or straight to state 9 when the call
  // that rang during the set-up is to be answered now.
  void StartWaiting();
  // Counts a RING in state 8: true when it is the one to answer on (on to
  // state 9).
  bool CountRing();
  // State 9: answers; the modem's answer comes in state `next`.
  void Answer(int next);
  // The application turned the fax down: hangs up and ends the call.
  void RejectFax();
  // Asks for the file name and creates the received file: 0 or an error.
  int CreateFile();
  // Opens the next page of the received file (0 or an error) and gets
  // ready for its data.
  int BeginPage();
  // Stores the page data waiting in the port up to DLE ETX (`ended`);
  // false when the machine failed.
  bool StorePageData(bool reverseBits, bool& ended);
  // Stores the page that has ended, counts its bad rows for the call and
  // judges it: 0 or an error.
  int FinishReceivedPage(PageQuality& quality);
  // The last page is in: the received file is complete.
  void FaxReceived();
  // State 35: the call is over; the next one, or the end.
  void CallOver();
  // State 36: keeps what arrived, hangs up, and goes on or ends.
  void Failure();

  ReceivedFile m_file;
  DleDecoder m_dle;
  bool m_afterConnect = false; // no page data byte read since CONNECT
  bool m_hungUp = false;

private:
  void ShowFirst();
  bool StoreBlock(std::vector<uint8_t>& block, bool reverseBits);

  bool m_firstSent = false;
  bool m_fileLost = false; // the accepted fax's file could not be created
};

} // namespace faxengine
