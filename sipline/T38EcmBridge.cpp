#include "sipline/T38EcmBridge.h"

#include "sipline/T38Ifp.h"

#include <spandsp.h>

#include <algorithm>

namespace tolvane::sipline {
namespace {

// T.38 data types: V.21 is 0, the fast modulations (V.27ter 2400 to V.17
// 14400) 1 to 8.
constexpr int kV21 = 0;
constexpr int kFastestType = 8;
// A DCS (either X bit), and its error correction bit (27) in the fourth
// octet of the information field.
constexpr uint8_t kDcs = 0x82;
constexpr size_t kEcmOctet = 6;
constexpr uint8_t kEcmBit = 0x04;
// HDLC data octets in one packet: small enough that every datagram also
// carries the packets before it (UDPTL redundancy), as image data does.
constexpr size_t kChunk = 64;
// Flags before the first frame of a burst and after the last.
constexpr int kLeadFlags = 4;
constexpr int kTrailFlags = 2;

// T.38 fields carry octets with the first bit on the line as the most
// significant; HDLC frames and the DTE's bit stream the other way round.
std::vector<uint8_t> reversedCopy(const uint8_t* data, size_t len) {
  std::vector<uint8_t> out(len);
  if (len > 0)
    bit_reverse(out.data(), data, static_cast<int>(len));
  return out;
}

bool isFast(int dataType) {
  return dataType > kV21 && dataType <= kFastestType;
}

bool isHdlcField(int type) {
  return type >= kHdlcData && type <= kHdlcFcsBadSigEnd;
}

} // namespace

void T38EcmBridge::controlOctets(int fieldType, const uint8_t* data, size_t len) {
  if (fieldType == kHdlcData) {
    if (m_control.size() + len <= kMaxFrame) {
      const auto octets = reversedCopy(data, len);
      m_control.insert(m_control.end(), octets.begin(), octets.end());
    }
    return;
  }
  if ((fieldType == kHdlcFcsOk || fieldType == kHdlcFcsOkSigEnd) && m_control.size() >= 3 &&
      (m_control[2] & 0xFE) == kDcs) {
    // Every DCS is followed by a training check, sent as plain data even
    // when error correction is agreed.
    m_ecm = m_control.size() > kEcmOctet && (m_control[kEcmOctet] & kEcmBit);
    m_tcfNext = true;
  }
  m_control.clear();
}

void T38EcmBridge::sendFrame(int dataType, const std::vector<uint8_t>& frame, const Emit& emit) {
  for (size_t at = 0; at < frame.size(); at += kChunk) {
    const size_t n = std::min(kChunk, frame.size() - at);
    std::vector<IfpFieldOut> fields{{kHdlcData, reversedCopy(frame.data() + at, n)}};
    if (at + n == frame.size())
      fields.push_back({kHdlcFcsOk, {}});
    const auto packet = encodeIfpData(dataType, fields, m_version);
    emit(packet.data(), packet.size(), 1);
  }
  ++m_framesOut;
}

void T38EcmBridge::toLine(const uint8_t* ifp, size_t len, int count, const Emit& emit) {
  const auto p = parseIfp(ifp, len, m_version);
  if (!p || p->indicator) {
    // A new signal (training, V.21 preamble, silence) ends a burst.
    m_burst = Burst::Undecided;
    return emit(ifp, len, count);
  }
  if (p->value == kV21) {
    for (const IfpField& f : p->fields)
      controlOctets(f.type, ifp + f.offset, f.length);
    return emit(ifp, len, count);
  }
  if (!isFast(p->value))
    return emit(ifp, len, count);
  if (m_burst == Burst::Undecided) {
    m_burst = m_ecm && !m_tcfNext ? Burst::Frames : Burst::AsIs;
    m_tcfNext = false;
    m_decoder = faxengine::hdlc::Decoder();
  }
  if (m_burst == Burst::AsIs)
    return emit(ifp, len, count);
  bool end = false;
  std::vector<std::vector<uint8_t>> frames;
  for (const IfpField& f : p->fields) {
    if (f.type != kT4NonEcmData && f.type != kT4NonEcmSigEnd)
      continue;
    const auto bits = reversedCopy(ifp + f.offset, f.length);
    m_decoder.Put(bits.data(), bits.size(), frames);
    end = end || f.type == kT4NonEcmSigEnd;
  }
  for (const auto& frame : frames)
    if (frame.size() <= kMaxFrame)
      sendFrame(p->value, frame, emit);
  if (end) {
    const auto packet = encodeIfpData(p->value, {{kHdlcSigEnd, {}}}, m_version);
    emit(packet.data(), packet.size(), 1);
    m_burst = Burst::Undecided;
  }
}

std::optional<std::vector<uint8_t>> T38EcmBridge::fromLine(const uint8_t* ifp, size_t len,
                                                           uint16_t seq) {
  // A packet that never arrived may have held octets of the frame.
  if (m_haveSeq && seq != static_cast<uint16_t>(m_lastSeq + 1))
    m_frameBad = true;
  m_haveSeq = true;
  m_lastSeq = seq;
  const auto p = parseIfp(ifp, len, m_version);
  if (!p || p->indicator) {
    m_rxActive = false;
    return std::nullopt;
  }
  bool hdlc = false;
  for (const IfpField& f : p->fields)
    hdlc = hdlc || isHdlcField(f.type);
  if (!isFast(p->value) || !hdlc)
    return std::nullopt;
  if (!m_rxActive) {
    m_rxActive = true;
    m_frame.clear();
    m_frameBad = false;
    m_encoder = faxengine::hdlc::Encoder();
    m_encoder.Flags(kLeadFlags);
  }
  bool end = false;
  for (const IfpField& f : p->fields) {
    switch (f.type) {
    case kHdlcData:
      if (m_frame.size() + f.length > kMaxFrame) {
        m_frameBad = true;
      } else {
        const auto octets = reversedCopy(ifp + f.offset, f.length);
        m_frame.insert(m_frame.end(), octets.begin(), octets.end());
      }
      break;
    case kHdlcFcsOk:
    case kHdlcFcsOkSigEnd:
      // Repeats of FCS-OK come with nothing collected, and are dropped.
      if (!m_frameBad && m_frame.size() >= 3) {
        m_encoder.Frame(m_frame.data(), m_frame.size());
        ++m_framesIn;
      }
      [[fallthrough]];
    case kHdlcFcsBad:
    case kHdlcFcsBadSigEnd:
    case kHdlcSigEnd:
      m_frame.clear();
      m_frameBad = false;
      end =
          end || f.type == kHdlcFcsOkSigEnd || f.type == kHdlcFcsBadSigEnd || f.type == kHdlcSigEnd;
      break;
    default:
      break;
    }
  }
  std::vector<uint8_t> bits;
  if (end) {
    m_encoder.Flags(kTrailFlags);
    bits = m_encoder.Take();
    m_rxActive = false;
  } else {
    bits = m_encoder.TakeWhole();
  }
  const auto data = reversedCopy(bits.data(), bits.size());
  return encodeIfpData(p->value, {{end ? kT4NonEcmSigEnd : kT4NonEcmData, data}}, m_version);
}

} // namespace tolvane::sipline
