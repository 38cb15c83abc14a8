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

class ReceiveMachine : public virtual ModemMachine {
protected:
  explicit ReceiveMachine(FaxSession& session) : ModemMachine(session) {}

  int FinalState() const override { return 37; }
  int FailureState() const override { return 36; }

  // State 1: forgets the last call and sends the class command; its answer
  // comes in state `next`.
  void NewCall(const std::string& classCommand, int next);
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
  // The last page is in: the received file is complete.
  void FaxReceived();
  // State 35: the call is over; the next one, or the end.
  void CallOver();
  // State 36: keeps what arrived, hangs up, and goes on or ends.
  void Failure();

  ReceivedFile m_file;
  DleDecoder m_dle;
  bool m_hungUp = false;

private:
  void ShowFirst();
  bool StoreBlock(std::vector<uint8_t>& block, bool reverseBits);

  bool m_firstSent = false;
  bool m_fileLost = false; // the accepted fax's file could not be created
};

} // namespace faxengine
