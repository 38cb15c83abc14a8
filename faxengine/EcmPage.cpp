// Frames and blocks of a page sent with error correction.

#include "faxengine/EcmPage.h"

#include "faxengine/HdlcFraming.h"

#include <algorithm>

namespace faxengine {

namespace {
// FCF of facsimile coded data and of the end of a partial page, in the bit
// order of the other T.30 frames here (T.4 Annex A).
constexpr uint8_t kFcd = 0x06, kRcp = 0x86;
constexpr uint8_t kAddress = 0xFF, kControl = 0x03;
// Flags before the first frame: about 40 ms at 14400 bit/s, time for the
// receiver to find the frame start after the training.
constexpr int kLeadFlags = 72;
constexpr int kRcpFrames = 3;

bool Bit(const uint8_t* map, int frame) {
  return (map[frame / 8] >> (frame % 8)) & 1;
}
} // namespace

void EcmPage::Set(std::vector<uint8_t> page, int frameSize) {
  m_page = std::move(page);
  m_frameSize = frameSize;
  m_block = 0;
}

int EcmPage::FramesInBlock() const {
  const std::size_t blockBytes = static_cast<std::size_t>(kFramesPerBlock) * m_frameSize;
  const std::size_t start = static_cast<std::size_t>(m_block) * blockBytes;
  if (start >= m_page.size())
    return m_block == 0 ? 1 : 0; // an empty page still has one (empty) frame
  const std::size_t bytes = std::min(blockBytes, m_page.size() - start);
  return static_cast<int>((bytes + m_frameSize - 1) / m_frameSize);
}

bool EcmPage::LastBlock() const {
  const std::size_t blockBytes = static_cast<std::size_t>(kFramesPerBlock) * m_frameSize;
  return (static_cast<std::size_t>(m_block) + 1) * blockBytes >= m_page.size();
}

std::vector<uint8_t> EcmPage::BlockStream(const uint8_t* wanted) const {
  hdlc::Encoder enc;
  enc.Flags(kLeadFlags);
  const std::size_t blockStart =
      static_cast<std::size_t>(m_block) * kFramesPerBlock * static_cast<std::size_t>(m_frameSize);
  std::vector<uint8_t> frame;
  for (int n = 0; n < FramesInBlock(); ++n) {
    if (wanted && !Bit(wanted, n))
      continue;
    const std::size_t start =
        std::min(m_page.size(), blockStart + static_cast<std::size_t>(n) * m_frameSize);
    const std::size_t end = std::min(m_page.size(), start + static_cast<std::size_t>(m_frameSize));
    frame.assign({kAddress, kControl, kFcd, static_cast<uint8_t>(n)});
    frame.insert(frame.end(), m_page.begin() + static_cast<long>(start),
                 m_page.begin() + static_cast<long>(end));
    enc.Frame(frame.data(), frame.size());
  }
  const uint8_t rcp[3] = {kAddress, kControl, kRcp};
  for (int i = 0; i < kRcpFrames; ++i)
    enc.Frame(rcp, sizeof rcp);
  enc.Flags(2);
  return enc.Take();
}

int EcmPage::Requested(const uint8_t* map) const {
  int n = 0;
  for (int f = 0; f < FramesInBlock(); ++f)
    n += Bit(map, f);
  return n;
}

} // namespace faxengine
