// Frames of an ECM block taken from the received bit stream.

#include "faxengine/EcmBlockReader.h"

#include <algorithm>

namespace faxengine {

namespace {
constexpr uint8_t kFcd = 0x06, kRcp = 0x86;
constexpr std::size_t kMaxFrameData = 256;
} // namespace

void EcmBlockReader::StartBlock() {
  m_have.reset();
  for (auto& f : m_frames)
    f.clear();
  m_end = false;
}

void EcmBlockReader::TakeFrame(const std::vector<uint8_t>& frame) {
  // Address, control (final bit either way), FCF, then for FCD the frame
  // number and up to 256 octets of page data.
  if (frame.size() < 3 || frame[0] != 0xFF || (frame[1] & 0xEF) != 0x03)
    return;
  if (frame[2] == kRcp) {
    m_end = true;
    return;
  }
  if (frame[2] != kFcd || frame.size() < 4 || frame.size() - 4 > kMaxFrameData)
    return;
  const int n = frame[3];
  m_frames[static_cast<std::size_t>(n)].assign(frame.begin() + 4, frame.end());
  m_have.set(static_cast<std::size_t>(n));
}

void EcmBlockReader::Put(const uint8_t* data, std::size_t size) {
  std::vector<std::vector<uint8_t>> frames;
  m_decoder.Put(data, size, frames);
  for (const auto& f : frames)
    TakeFrame(f);
}

bool EcmBlockReader::Complete(int frames) const {
  for (int n = 0; n < std::min(frames, 256); ++n)
    if (!m_have.test(static_cast<std::size_t>(n)))
      return false;
  return true;
}

void EcmBlockReader::MissingMap(int frames, uint8_t (&map)[kPprMapBytes]) const {
  std::fill(std::begin(map), std::end(map), 0);
  for (int n = 0; n < std::min(frames, 256); ++n)
    if (!m_have.test(static_cast<std::size_t>(n)))
      map[n / 8] = static_cast<uint8_t>(map[n / 8] | (1 << (n % 8)));
}

std::vector<uint8_t> EcmBlockReader::Data(int frames) const {
  std::vector<uint8_t> out;
  for (int n = 0; n < std::min(frames, 256); ++n)
    out.insert(out.end(), m_frames[static_cast<std::size_t>(n)].begin(),
               m_frames[static_cast<std::size_t>(n)].end());
  return out;
}

} // namespace faxengine
