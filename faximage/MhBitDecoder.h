#pragma once
// The reference Modified Huffman decoder: walks the decoding tree of the
// current colour one bit at a time, least significant bit of each byte first.
// Slow but plain; the fast decoder is checked against it.

#include "faximage/MhDecodeTree.h"
#include "faximage/MhRowBuilder.h"

#include <cstdint>

namespace faximage {

class MhBitDecoder {
public:
  explicit MhBitDecoder(MhRowBuilder& rows);

  void startPage();
  void feedByte(uint8_t byte);

private:
  const MhDecodeTree& tree() const;

  MhRowBuilder& m_rows;
  int m_node = 0;
  bool m_skipOnes = false;
};

// The two colours' trees, built once and shared by every decoder.
const MhDecodeTree& whiteDecodeTree();
const MhDecodeTree& blackDecodeTree();

} // namespace faximage
