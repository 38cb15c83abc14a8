#include "sipline/RtpAudio.h"

#include <spandsp.h>

namespace tolvane::sipline {

std::optional<RtpAudioFrame> parseRtpAudio(const uint8_t* d, size_t len) {
  if (len < 12 || (d[0] >> 6) != 2)
    return std::nullopt;
  size_t header = 12 + 4 * static_cast<size_t>(d[0] & 0x0F); // CSRC list
  if (d[0] & 0x10) {                                         // header extension
    if (len < header + 4)
      return std::nullopt;
    header += 4 + 4 * static_cast<size_t>(d[header + 2] << 8 | d[header + 3]);
  }
  size_t padding = (d[0] & 0x20) && len > 0 ? d[len - 1] : 0;
  if (len < header + padding)
    return std::nullopt;
  RtpAudioFrame f;
  f.payloadType = d[1] & 0x7F;
  if (f.payloadType != kPayloadPcma && f.payloadType != kPayloadPcmu)
    return std::nullopt;
  f.seq = static_cast<uint16_t>(d[2] << 8 | d[3]);
  f.timestamp = static_cast<uint32_t>(d[4]) << 24 | d[5] << 16 | d[6] << 8 | d[7];
  size_t n = len - header - padding;
  f.samples.resize(n);
  for (size_t i = 0; i < n; ++i)
    f.samples[i] = f.payloadType == kPayloadPcma ? alaw_to_linear(d[header + i])
                                                 : ulaw_to_linear(d[header + i]);
  return f;
}

std::vector<uint8_t> RtpAudioSender::next(const int16_t* samples) {
  std::vector<uint8_t> p(12 + kFrameSamples);
  p[0] = 0x80;
  p[1] = static_cast<uint8_t>(m_payloadType);
  p[2] = static_cast<uint8_t>(m_seq >> 8);
  p[3] = static_cast<uint8_t>(m_seq);
  for (int i = 0; i < 4; ++i) {
    p[4 + i] = static_cast<uint8_t>(m_timestamp >> (24 - 8 * i));
    p[8 + i] = static_cast<uint8_t>(m_ssrc >> (24 - 8 * i));
  }
  for (int i = 0; i < kFrameSamples; ++i)
    p[12 + i] =
        m_payloadType == kPayloadPcma ? linear_to_alaw(samples[i]) : linear_to_ulaw(samples[i]);
  ++m_seq;
  m_timestamp += kFrameSamples;
  return p;
}

int RtpSequence::arrived(uint16_t seq) {
  if (!m_started) {
    m_started = true;
    m_next = static_cast<uint16_t>(seq + 1);
    return 0;
  }
  auto ahead = static_cast<uint16_t>(seq - m_next);
  if (ahead >= 0x8000)
    return -1;
  m_next = static_cast<uint16_t>(seq + 1);
  // A jump of more than a few seconds is a new stream, not lost audio.
  return ahead > 250 ? 0 : ahead;
}

} // namespace tolvane::sipline
