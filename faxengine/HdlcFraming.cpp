// HDLC bit stream building and frame finding for ECM page data.

#include "faxengine/HdlcFraming.h"

#include <algorithm>

namespace faxengine::hdlc {

namespace {
constexpr uint8_t kFlag = 0x7E;
} // namespace

uint16_t Fcs(const uint8_t* data, std::size_t size) {
  uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int b = 0; b < 8; ++b)
      crc = static_cast<uint16_t>((crc >> 1) ^ ((crc & 1) ? 0x8408 : 0));
  }
  return static_cast<uint16_t>(~crc);
}

void Encoder::PutBit(int bit) {
  m_acc |= static_cast<uint32_t>(bit & 1) << m_bits;
  if (++m_bits == 8) {
    m_out.push_back(static_cast<uint8_t>(m_acc));
    m_acc = 0;
    m_bits = 0;
  }
}

void Encoder::PutByteStuffed(uint8_t b) {
  for (int i = 0; i < 8; ++i) {
    const int bit = (b >> i) & 1;
    PutBit(bit);
    m_ones = bit ? m_ones + 1 : 0;
    if (m_ones == 5) {
      PutBit(0);
      m_ones = 0;
    }
  }
}

void Encoder::Flags(int count) {
  for (int n = 0; n < count; ++n)
    for (int i = 0; i < 8; ++i)
      PutBit((kFlag >> i) & 1);
  m_ones = 0;
}

void Encoder::Frame(const uint8_t* data, std::size_t size) {
  m_ones = 0;
  for (std::size_t i = 0; i < size; ++i)
    PutByteStuffed(data[i]);
  const uint16_t fcs = Fcs(data, size);
  PutByteStuffed(static_cast<uint8_t>(fcs & 0xFF));
  PutByteStuffed(static_cast<uint8_t>(fcs >> 8));
  Flags(1);
}

std::vector<uint8_t> Encoder::Take() {
  while (m_bits != 0)
    PutBit(1);
  return TakeWhole();
}

std::vector<uint8_t> Encoder::TakeWhole() {
  std::vector<uint8_t> out;
  out.swap(m_out);
  return out;
}

void Decoder::EndFrame(std::vector<std::vector<uint8_t>>& frames) {
  // The flag's leading zero and five ones went in as data bits.
  const std::size_t drop =
      std::min<std::size_t>(6, static_cast<std::size_t>(m_accBits) + m_frame.size() * 8);
  long bits = static_cast<long>(m_frame.size() * 8) + m_accBits - static_cast<long>(drop);
  const bool whole = bits % 8 == 0;
  m_frame.resize(static_cast<std::size_t>(bits / 8));
  if (m_inFrame && !m_aborted && bits > 0) {
    const std::size_t n = m_frame.size();
    if (whole && n >= 4 && Fcs(m_frame.data(), n - 2) == (m_frame[n - 2] | (m_frame[n - 1] << 8))) {
      m_frame.resize(n - 2);
      frames.push_back(m_frame);
    } else {
      ++m_bad;
    }
  }
  m_frame.clear();
  m_acc = 0;
  m_accBits = 0;
  m_inFrame = true;
  m_aborted = false;
}

void Decoder::Put(const uint8_t* data, std::size_t size,
                  std::vector<std::vector<uint8_t>>& frames) {
  for (std::size_t i = 0; i < size; ++i) {
    for (int k = 0; k < 8; ++k) {
      const int bit = (data[i] >> k) & 1;
      if (bit) {
        if (++m_ones >= 7) {
          m_aborted = true; // an abort or idle line: no frame until the next flag
          continue;
        }
        if (m_ones == 6)
          continue; // a flag, or an abort, as the next bit tells
      } else {
        const int ones = m_ones;
        m_ones = 0;
        if (ones == 6) {
          EndFrame(frames);
          continue;
        }
        if (ones == 5)
          continue; // a stuffed zero
      }
      if (!m_inFrame || m_aborted)
        continue;
      m_acc |= static_cast<uint32_t>(bit) << m_accBits;
      if (++m_accBits == 8) {
        if (m_frame.size() < kMaxFrame)
          m_frame.push_back(static_cast<uint8_t>(m_acc));
        else
          m_aborted = true;
        m_acc = 0;
        m_accBits = 0;
      }
    }
  }
}

} // namespace faxengine::hdlc
