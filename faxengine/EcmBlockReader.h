#pragma once
// The receiving side of error correction (T.30 Annex A): the frames of one
// block of a page collected from the HDLC bit stream the modem delivers
// (+FRM), kept by frame number, so that the PPR asks only for those that
// are missing and the block's data is put together from good frames only.

#include "faxengine/EcmPage.h"
#include "faxengine/HdlcFraming.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace faxengine {

class EcmBlockReader {
public:
  // Forgets the frames of the last block.
  void StartBlock();
  // Takes received bytes (DLE framing removed).
  void Put(const uint8_t* data, std::size_t size);
  // An RCP frame has ended the frames of this transmission.
  bool EndSeen() const { return m_end; }
  void ClearEnd() { m_end = false; }
  // Every frame 0 .. frames-1 is there.
  bool Complete(int frames) const;
  // The PPR map of the frames missing among 0 .. frames-1.
  void MissingMap(int frames, uint8_t (&map)[kPprMapBytes]) const;
  // The block's page data, frames 0 .. frames-1 in order.
  std::vector<uint8_t> Data(int frames) const;
  long BadFrames() const { return m_decoder.BadFrames(); }

private:
  void TakeFrame(const std::vector<uint8_t>& frame);

  hdlc::Decoder m_decoder;
  std::vector<std::vector<uint8_t>> m_frames = std::vector<std::vector<uint8_t>>(256);
  std::bitset<256> m_have;
  bool m_end = false;
};

} // namespace faxengine
