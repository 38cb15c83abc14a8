#pragma once
// Error-corrected (ECM) pages between a Class 1 DTE and a T.38 line.
//
// A Class 1 DTE sends and receives ECM page data as a plain bit stream at
// the fast rate (+FTM/+FRM) in which it does the HDLC framing itself: flags,
// stuffed frames, FCS. T.31 carries that stream over T.38 as non-ECM image
// data, while a T.38 fax terminal sends and expects ECM page data as T.38
// HDLC fields (HDLC_DATA, then FCS_OK, and HDLC_SIG_END at the end of the
// block). This bridge sits between T.31's IFP packets and the line:
//
// - to the line: after a DCS that asks for error correction, the fast-rate
//   bursts the DTE sends (except the training check right after the DCS)
//   are taken apart into frames, and each frame goes as HDLC data fields of
//   the same modulation, closed by FCS_OK;
// - from the line: HDLC fields at a fast rate are framed again into a bit
//   stream (a frame whose FCS was bad, or some of whose octets were lost,
//   is left out, so that ECM asks for it again) and reach T.31 as non-ECM
//   data, which it hands to the DTE after +FRM.
//
// Every packet coming in yields one going out with the same sequence
// number, so T.31's view of losses stays as it was.

#include "faxengine/HdlcFraming.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tolvane::sipline {

class T38EcmBridge {
public:
  // An IFP packet for the line, and how many times to send it.
  using Emit = std::function<void(const uint8_t* ifp, size_t len, int count)>;
  explicit T38EcmBridge(int t38Version = 0) : m_version(t38Version) {}

  // A packet T.31 sends: emits it, or the packets that replace it.
  void toLine(const uint8_t* ifp, size_t len, int count, const Emit& emit);
  // A packet from the line (after UDPTL recovery, in sequence order): what
  // T.31 gets instead, or nothing when it gets the packet as it is.
  std::optional<std::vector<uint8_t>> fromLine(const uint8_t* ifp, size_t len, uint16_t seq);

  // The last DCS the DTE sent asked for error correction.
  bool ecmAgreed() const { return m_ecm; }
  long framesToLine() const { return m_framesOut; }
  long framesFromLine() const { return m_framesIn; }

  // ECM frames are at most 4 octets of header and 256 of data; longer runs
  // between flags are noise.
  static constexpr size_t kMaxFrame = 260;

private:
  enum class Burst { Undecided, AsIs, Frames };
  void controlOctets(int fieldType, const uint8_t* data, size_t len);
  void sendFrame(int dataType, const std::vector<uint8_t>& frame, const Emit& emit);

  int m_version;
  // To the line.
  std::vector<uint8_t> m_control; // a V.21 frame being sent, in frame order
  bool m_ecm = false;
  bool m_tcfNext = false;
  Burst m_burst = Burst::Undecided;
  faxengine::hdlc::Decoder m_decoder;
  long m_framesOut = 0;
  // From the line.
  bool m_haveSeq = false;
  uint16_t m_lastSeq = 0;
  bool m_rxActive = false;
  std::vector<uint8_t> m_frame; // the frame being received, in frame order
  bool m_frameBad = false;
  faxengine::hdlc::Encoder m_encoder;
  long m_framesIn = 0;
};

} // namespace tolvane::sipline
