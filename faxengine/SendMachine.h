#pragma once
// The part of the send machines that is the same in every class: the job
// loop over the faxes, dialling and the busy rule, the page data pumped
// into the port, and the end of a fax and of the job. The shared states
// have the same numbers in every class:
//   9 dial             10 busy wait        21 XON wait         22 output space
//   23 page start      24 cover page       25 text cover data  26 APF page
//   27 APF page data   44 fax sent         45 job done         46 failure
//   47 final

#include "faxengine/ModemMachine.h"
#include "faxengine/PageSender.h"

namespace faxengine {

class SendMachine : public virtual ModemMachine {
protected:
  explicit SendMachine(FaxSession& session) : ModemMachine(session), m_pages(session) {}

  int FinalState() const override { return 47; }
  int FailureState() const override { return 46; }

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
