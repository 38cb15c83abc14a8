#pragma once
// The part of the send machines that is the same in every class: the job
// loop over the faxes, dialling and the busy rule, the page data pumped
// into the port, and the end of a fax and of the job. The states have the
// same numbers in every class (SendState).

#include "faxengine/ModemMachine.h"
#include "faxengine/PageSender.h"

namespace faxengine {

// The send machine's states, by the numbers of the design (shared by every
// class; each class uses those of them that it needs).
enum SendState : int {
  ssNextFax = 1,
  ssSelectPage = 2,
  ssClass1Reply = 3,
  ssClassReply = 4,
  ssLocalIdReply = 5,
  ssFlowReply = 6,
  ssCapsCommand = 7,
  ssCapsReply = 8,
  ssDial = 9,
  ssRetryPause = 10,
  ssDialResult1 = 11,
  ssSendTsi = 12,
  ssSendDcs = 13,
  ssTrainCommand = 14,
  ssTraining = 15,
  ssTrainingSent = 16,
  ssTrainingAnswer = 17,
  ssPageCommand = 18,
  ssDialResult = 19,
  ssNegotiate = 20,
  ssXonWait = 21,
  ssOutputSpace = 22,
  ssPageStart = 23,
  ssCover = 24,
  ssTextCoverData = 25,
  ssApfPage = 26,
  ssApfPageData = 27,
  ssPageEnd = 28,
  ssPageSent = 29,
  ssPostPageTry = 30,
  ssPostPageConnect = 31,
  ssPostPageSent = 32,
  ssPostPageAnswer = 34,
  ssDcnConnect = 35,
  ssDcnSent = 36,
  ssHangupReply = 37,
  ssPageStatus = 38,
  ssPageStatusOk = 39,
  ssPostPage = 40,
  ssRejected = 41,
  ssNextPage = 42,
  ssPostPage20 = 43,
  ssFaxSent = 44,
  ssJobDone = 45,
  ssFailure = 46,
  ssFinal = 47,
  // Error correction in Class 1: a block's frames again, and CTC.
  ssEcmData = 48,
  ssCtcConnect = 49,
  ssCtcSent = 50,
  ssCtcAnswer = 51,
};

class SendMachine : public virtual ModemMachine {
protected:
  explicit SendMachine(FaxSession& session) : ModemMachine(session), m_pages(session) {}

  int FinalState() const override { return ssFinal; }
  int FailureState() const override { return ssFailure; }

  // Runs a shared state other than 1, 9, 23 and 44; false for a state the
  // class handles itself.
  bool SharedStep(MachineEvent& ev);
  // State 1: opens the next fax of the job (on to state 2), or ends the job.
  // True when a fax was opened.
  bool NextFax();
  // State 9: dials and waits for the result in state `next`.
  void Dial(int next);
  // The refusals of a dialled call (busy, voice, no dial tone, and no
  // carrier, which the classes report in words of their own); true when
  // the line was one.
  bool Refused(const MachineEvent& ev, const char* noCarrier);
  // State 23: the next page starts with the cover page when one is due.
  void StartPage();
  // State 44: the fax went through; on to the next one.
  void FaxSent();
  void ArmPageWait(bool used);
  // State 46: ends a failed send attempt the same way in every class: page
  // data the modem was taking is ended, files closed, "transmit failed"
  // logged, modem hung up, idle speed restored. On to state 1 for the next
  // fax, or to 47 (job over, finish posted) when the job must stop.
  void EndFailedSend();
  // The command that ends a session on the line after its page data was
  // cut short (Class 2 and 2.0); none in Class 1, whose hang-up does it.
  virtual const char* SessionAbortCommand() const { return nullptr; }
  // Tells the remote that a cancelled call ends, where the class leaves
  // that to the program (the modem is taking commands again).
  virtual void SayGoodbye() {}

  PageSender m_pages;
  // Class 2 reports the page transmission again when a text cover starts.
  bool m_announceTextCover = false;

private:
  void BusyRule();
  void WaitXon(const MachineEvent& ev);
  void WaitSpace(const MachineEvent& ev);
  void OpenCover();
  void PageData(const MachineEvent& ev);
};

} // namespace faxengine
