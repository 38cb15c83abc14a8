#pragma once
// The records behind a fax component: the call record (what every call
// keeps: handles, counters, names, flags) and the protocol record (class
// dialect strings, negotiated parameters, modem settings). The state
// machines read and write them on the dispatcher thread only; the main
// thread reads progress values for display.

#include "faxengine/FaxTypes.h"
#include "faximage/FaxCoding.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace faxengine {

// Command and response words of the Class 2 or Class 2.0 dialect.
struct ClassDialect {
  std::string classCmd;    // "AT+FCLASS=2" / "AT+FCLASS=2.0"
  std::string modelQuery;  // "AT+FMDL?" / "AT+FMI?"
  std::string makerQuery;  // "AT+FMFR?" / "AT+FMM?"
  std::string revQuery;    // "AT+FREV?" / "AT+FMR?"
  std::string localCaps;   // "AT+FDIS" / "AT+FIS"
  std::string localId;     // "AT+FLID" / "AT+FLI"
  std::string modemCaps;   // "AT+FDCC" / "AT+FCC"
  std::string connectResp; // "+FCON" / "+FCO"
  std::string remoteCaps;  // "+FDIS" / "+FIS"
  std::string negotiated;  // "+FDCS" / "+FCS"
  std::string tsiResp;     // "+FTSI" / "+FTI"
  std::string csiResp;     // "+FCSI" / "+FCI"
  std::string pageStatus;  // "+FPTS" / "+FPS"
  std::string hangupWord;  // "FHNG" / "FHS"
};

// The dialect of a class (Class 2 or 2.0; anything else gives Class 2's).
ClassDialect MakeDialect(TFaxClass cls);

// One Class 1 modulation the modem offers (AT+FTM=? / AT+FRM=?).
struct Class1Capability {
  int modulation = 0; // the code the modem lists (24, 48, 72, 96, ...)
  int bps = 0;
  bool present = false;
};

struct ProtocolRecord {
  ClassDialect dialect;
  Class1Capability class1Caps[8]; // filled by the Class 1 machines
  int class1CapCount = 0;
  // The modem's raw answer to "AT+FTM=?" (send) or "AT+FRM=?" (receive),
  // read while the call is set up in Class 1.
  std::string class1CapsAnswer;
  // Class 2 and 2.0: the modem's answer to AT+FDCC=? / AT+FCC=?, the
  // parameter values it can do, read while the call is set up.
  std::string class2CapsAnswer;

  uint16_t desiredBPS = 9600;
  bool desiredECM = false;
  // Two-dimensional coding (MR; MMR where error correction is on too) may be
  // offered and chosen; off for a modem or line that does not cope with it.
  bool desired2D = true;
  // The port's own switches (TOV.INI [Ports] Com<n>Ecm, Com<n>TwoDim), read
  // when a call starts: off turns the feature off whatever the caller wants.
  bool portEcm = true, port2D = true;
  // Negotiated call parameters.
  int bps = 9600;
  int bpsCode = 3; // BR digit
  bool fine = false, wide = false, ecm = false;
  faximage::FaxCoding coding = faximage::FaxCoding::Mh; // of the page data on the line
  // Class 1 with error correction: the program puts the page data in ECM
  // frames itself (in Class 2 the modem does, and `ecm` only reports it).
  bool ecmFrames = false;
  // Wanted by the page being sent.
  bool wantFine = false, wantWide = false;
  int scanTimeCode = 0;
  int minBytesPerLine = 0;

  bool toneDial = true, blindDial = false, detectBusy = true;
  uint16_t answerOnRing = 1;
  int ringCount = 0;
  // RINGs that came while the modem was being set up: the call they belong
  // to is counted once the modem waits for calls.
  int setupRings = 0;
  int32_t dialWait = 1092; // ticks
  int32_t responseTicks = kResponseTicks;
  std::string initString = "ATE0Q0V1X4S0=0S2=43";
  std::string modemInit;
  std::string dialPrefix;

  std::string lastHangupCode;
};

// The call's values that the main thread reads while the call runs, copied
// from the records by the session under the lock before every event and at
// the finish (the machine writes the records on the dispatcher thread).
struct PublishedCall {
  mutable std::mutex lock;
  std::string remoteID;
  std::string hangupCode;
  int bps = 0;
  bool fine = false, wide = false, ecm = false;
  faximage::FaxCoding coding = faximage::FaxCoding::Mh;
};

struct FaxRecord {
  // Trigger handles of the call (0 = none).
  int availTrigger = 1; // the port's avail notifications
  int timeoutTrigger = 0, statusTrigger = 0;
  int outSpaceTrigger = 0, outUsedTrigger = 0, modemTrigger = 0;

  uint16_t statusInterval = 1; // seconds
  int state = 0;
  std::atomic<int> status{0};
  std::atomic<int> lastError{0};

  uint16_t dialAttempts = 3;
  int dialAttempt = 0;          // attempts made so far
  int32_t dialRetryWait = 1092; // ticks

  std::atomic<int> pageNumber{0};
  int filePageCount = 0, coverPageCount = 0;
  std::atomic<long> pageBytesDone{0};
  std::atomic<long> pageBytesTotal{0};
  // Error correction: frames sent again on the receiver's request, this call
  // (when receiving: frames asked for again).
  std::atomic<long> ecmFramesResent{0};
  // Error correction: frames given up with EOR (sent or received), this call.
  std::atomic<long> ecmFramesLost{0};
  // Received rows that did not decode (line errors without error
  // correction, or a block given up with EOR), this call.
  std::atomic<long> badRows{0};

  bool abortNoConnect = false, exitOnError = false, softwareFlow = false;
  bool sendingCover = false;

  TFaxClass faxClass = fcDetect;
  std::string stationID;
  std::string remoteID; // at most 20 characters
  PublishedCall published;
  std::string destinationDir;
  std::string faxFileExt = "APF";
  // Names are kept as given: Linux file names are case-sensitive.
  std::string faxFile, coverFile;
  std::string phoneNumber;
  std::string headerLine, headerSender, headerRecipient, headerTitle;
  bool initialized = false;

  // Pacing of page data (send side).
  uint16_t maxSendCount = 50;
  uint16_t bufferMinimum = 1000;

  // Receive options the machine needs.
  bool oneFax = false, constantStatus = false, faxAndData = false;
  int32_t initBaud = 0, normalBaud = 0;
};

} // namespace faxengine
