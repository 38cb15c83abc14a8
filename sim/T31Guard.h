#pragma once
// Checks in front of spandsp 0.0.6's T.31 modem for what it takes without
// looking at sizes, so that nothing arriving from the line or the DTE can
// overrun its fixed buffers:
//
// - a received HDLC frame goes to the DTE through a 256-octet stack buffer
//   (queued while the DTE is not waiting) or the AT interpreter's 256-octet
//   rx_data (DLE doubled, when it is). A frame that would not fit, from
//   the audio HDLC receiver or from T.38 HDLC fields, is dropped here as a
//   lost frame: T.30 asks again, and no T.30 control frame comes near the
//   limit.
// - frame octets the DTE sends after AT+FTH are collected without a bound;
//   those beyond the frame buffer are dropped.
//
// On a T.38 line the same checks can keep error correction (ECM) off, for a
// line that cannot carry ECM page data as T.38 HDLC frames: the ECM
// capability bit (and T.6 coding, which needs ECM) is then cleared in every
// DIS and DTC crossing the modem in T.38 mode, in both directions, so that
// both ends agree on a page without ECM.

#include "sim/SpanDsp.h"

#include <cstddef>
#include <cstdint>

namespace tolvane::sim {

class T31Guard {
public:
  // Puts the checks in front of the T.38 receive path; once after t31_init.
  static void guardT38(t31_state_t* t31);
  // T.31 sets up its audio HDLC receiver afresh for each AT+FRH: call this
  // before audio goes in.
  static void guardAudio(t31_state_t* t31);
  // Hands DTE data to T.31, dropping frame octets that would overrun it; in
  // T.38 mode it takes ECM out of a DIS or DTC the DTE sends.
  static void dteData(t31_state_t* t31, const uint8_t* data, size_t len);

  // Clear ECM and T.6 from DIS and DTC on T.38 lines (off unless asked for).
  static void keepEcmOffOnT38(bool on);

  // Whether T.31 can pass a received frame of len octets (followed by its
  // two FCS octets at frame[len]) to the DTE in its present state.
  static bool frameFits(const t31_state_t* t31, const uint8_t* frame, int len);
  // Clears the ECM and T.6 capability bits when frame is a DIS or DTC, in
  // line bit order (reversed) or as the DTE writes it; true when it was one.
  static bool clearEcm(uint8_t* frame, size_t len, bool bitReversed);
};

} // namespace tolvane::sim
