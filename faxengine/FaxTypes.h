#pragma once
// Values shared by the fax components and their state machines: the fax
// classes, progress (status) codes with their texts, log codes, the fax
// component messages and the class bits returned by ModemClasses.

#include <cstdint>
#include <string>

enum TFaxClass { fcUnknown, fcDetect, fcClass1, fcClass2, fcClass2_0 };

namespace faxengine {

// Progress codes: 1..7 sending, 20..28 receiving, 40..43 common.
enum FaxStatusCode : int {
  fpInitModem = 1,
  fpDialing = 2,
  fpBusyWait = 3,
  fpSendPage = 4,
  fpSendPageStatus = 5,
  fpPageError = 6,
  fpPageOK = 7,
  fpWaiting = 20,
  fpNoConnect = 21,
  fpAnswer = 22,
  fpIncoming = 23,
  fpGetPage = 24,
  fpGetPageResult = 25,
  fpCheckMorePages = 26,
  fpGetHangup = 27,
  fpGotHangup = 28,
  fpSessionParams = 40,
  fpGotRemoteID = 41,
  fpCancel = 42,
  fpFinished = 43,
};

// The status text of a progress code; codes without a text give "".
std::string StatusText(int code);

// Log codes passed to OnFaxLog and the fax history.
enum FaxLogCode : int {
  lfaxTransmitStart = 1,
  lfaxTransmitOk = 2,
  lfaxTransmitFail = 3,
  lfaxReceiveStart = 4,
  lfaxReceiveOk = 5,
  lfaxReceiveSkip = 6,
  lfaxReceiveFail = 7,
};

// Fax component messages. Abort goes to the state machine; the others carry
// events to the main thread.
constexpr uint32_t kFaxAbortMsg = 0x7EA0;
constexpr uint32_t kFaxNextMsg = 0x7EA1;
constexpr uint32_t kFaxStatusMsg = 0x7EA2;
constexpr uint32_t kFaxLogMsg = 0x7EA3;
constexpr uint32_t kFaxNameMsg = 0x7EA4;
constexpr uint32_t kFaxAcceptMsg = 0x7EA5;
constexpr uint32_t kFaxErrorMsg = 0x7EA6;
constexpr uint32_t kFaxFinishMsg = 0x7EA7;

// Bits of the set ModemClasses returns.
constexpr int kClassBit1 = 4;
constexpr int kClassBit2 = 8;
constexpr int kClassBit2_0 = 16;

// Timers in ticks.
constexpr int32_t kResponseTicks = 182; // 10 s
constexpr int32_t kPageTicks = 1092;    // 60 s
constexpr int32_t kFirstDataTicks = 546;
constexpr int32_t kXonWaitTicks = 18;

// User slot of the port that holds the running fax session.
constexpr int kFaxUserSlot = 2;

// Page-data constants.
constexpr int kDataBlock = 4096;

} // namespace faxengine
