#pragma once
// Types shared by the port layer and the port component: the enumerations of
// the component's properties, the trigger message numbers and the handler
// signature.

#include <cstdint>
#include <functional>

enum TDeviceLayer { dlNone, dlComm, dlFossil, dlWin32, dlWinsock, dlOther };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TDispatcherMode { dNone, dTimer, dCommEvents, dAuto, dWin32 };
enum THWFlowOption { hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8 };
using THWFlowOptionSet = uint8_t; // bit set of THWFlowOption values
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

// Trigger messages; lParam is (port handle * 65536) + data.
constexpr uint32_t TriggerAvailMsg = 0x7E01;
constexpr uint32_t TriggerDataMsg = 0x7E02;
constexpr uint32_t TriggerTimerMsg = 0x7E03;
constexpr uint32_t TriggerStatusMsg = 0x7E04;
// The device has gone (a USB modem unplugged, the far side of a
// pseudo-terminal closed, a hang-up or I/O error that reading and writing
// cannot recover from); sent once per open, wParam 0, data the errno.
constexpr uint32_t TriggerDeviceLostMsg = 0x7E05;

// Modem status register bits (delta bits in the low nibble).
constexpr uint8_t msrDCTS = 0x01, msrDDSR = 0x02, msrTERI = 0x04, msrDDCD = 0x08;
constexpr uint8_t msrCTS = 0x10, msrDSR = 0x20, msrRI = 0x40, msrDCD = 0x80;

// Line error bits.
constexpr uint16_t leOverflow = 0x01, leOverrun = 0x02, leParity = 0x04, leFraming = 0x08,
                   leBreak = 0x10;

// State trigger kinds.
enum StateTriggerKind {
  stModem = 1,
  stLineError = 2,
  stOutbuffFree = 3,
  stOutbuffUsed = 4,
  stOutSent = 5
};

// A trigger handler gets (message, wParam, lParam).
using TriggerProc = std::function<void(uint32_t msg, uint32_t wParam, int32_t lParam)>;

// Procedure handlers run on the port's dispatcher thread; window handlers on
// the main thread, through the main-thread dispatcher with a 1000 ms limit.
enum class TriggerHandlerKind { Window = 1, Procedure = 2 };

namespace serial {
constexpr int kMaxPorts = 50;
constexpr int kDispatchBufferSize = 8192;
constexpr int kTimeTriggers = 10;
constexpr int kStateTriggers = 10;
constexpr int kFirstTriggerHandle = 2;
constexpr int kLastTriggerHandle = 41;
constexpr int kUserSlots = 10;
constexpr int kWindowSendTimeoutMs = 1000;
constexpr int kWriteTimeoutMs = 60000;
constexpr int kMaxTraceSize = 32760;
constexpr int kMaxLogSize = 65520;
} // namespace serial
