#pragma once
// RTP (RFC 3550) packets of G.711 audio, 20 ms (160 samples) each: the
// header, A-law and mu-law coding, and the receive side's view of lost
// packets. No jitter buffer: fax audio is played as it comes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tolvane::sipline {

constexpr int kFrameSamples = 160;
constexpr int kPayloadPcmu = 0;
constexpr int kPayloadPcma = 8;

struct RtpAudioFrame {
  uint16_t seq = 0;
  uint32_t timestamp = 0;
  int payloadType = 0;
  std::vector<int16_t> samples;
};

// Returns nothing for a datagram that is no RTP packet of PCMA or PCMU.
std::optional<RtpAudioFrame> parseRtpAudio(const uint8_t* data, size_t len);

class RtpAudioSender {
public:
  RtpAudioSender(int payloadType, uint32_t ssrc) : m_payloadType(payloadType), m_ssrc(ssrc) {}
  void setPayloadType(int pt) { m_payloadType = pt; }
  // One packet of kFrameSamples samples.
  std::vector<uint8_t> next(const int16_t* samples);

private:
  int m_payloadType;
  uint32_t m_ssrc;
  uint16_t m_seq = 0;
  uint32_t m_timestamp = 0;
};

// Tracks the sequence of received packets so that missing audio can be
// filled in: returns how many frames were lost before this one (0 for a
// frame in order, -1 for a late or repeated one that must be dropped).
class RtpSequence {
public:
  int arrived(uint16_t seq);

private:
  bool m_started = false;
  uint16_t m_next = 0;
};

} // namespace tolvane::sipline
