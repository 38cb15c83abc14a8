#pragma once
// A page sent with error correction (T.30 Annex A): the coded page cut into
// frames of 256 or 64 octets, the frames grouped into blocks of at most 256,
// and the HDLC stream of a block's frames, all of them or those the
// receiver's PPR asks for again.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace faxengine {

// The frame map of a PPR: one bit per frame of the block, least significant
// bit of the first byte for frame 0; a set bit asks for the frame again.
constexpr std::size_t kPprMapBytes = 32;

class EcmPage {
public:
  static constexpr int kFramesPerBlock = 256;

  void Set(std::vector<uint8_t> page, int frameSize);
  int Block() const { return m_block; } // from 0
  int FramesInBlock() const;
  bool LastBlock() const;
  void NextBlock() { ++m_block; }
  // The HDLC stream of the current block, DLE not yet doubled: flags, the
  // FCD frames `wanted` asks for (all of them when null), three RCP frames.
  std::vector<uint8_t> BlockStream(const uint8_t* wanted) const;
  // How many frames of the current block a PPR map asks for.
  int Requested(const uint8_t* map) const;

private:
  std::vector<uint8_t> m_page;
  int m_frameSize = 256;
  int m_block = 0;
};

} // namespace faxengine
