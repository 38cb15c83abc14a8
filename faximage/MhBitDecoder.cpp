#include "faximage/MhBitDecoder.h"

namespace faximage {

const MhDecodeTree& whiteDecodeTree() {
  static const MhDecodeTree tree(MhColour::White);
  return tree;
}

const MhDecodeTree& blackDecodeTree() {
  static const MhDecodeTree tree(MhColour::Black);
  return tree;
}

MhBitDecoder::MhBitDecoder(MhRowBuilder& rows) : m_rows(rows) {}

const MhDecodeTree& MhBitDecoder::tree() const {
  return m_rows.colour() == MhColour::White ? whiteDecodeTree() : blackDecodeTree();
}

void MhBitDecoder::startPage() {
  m_node = 0;
  m_skipOnes = false;
}

void MhBitDecoder::feedByte(uint8_t byte) {
  for (int i = 0; i < 8; ++i) {
    const int bit = (byte >> i) & 1;
    const MhDecodeTree& t = tree();
    if (bit == 0) {
      m_skipOnes = false;
      m_node = t.branch(m_node, 0);
    } else if (!m_skipOnes) {
      m_node = t.branch(m_node, 1);
    }
    const MhDecodeTree::Node& n = t.node(m_node);
    if (n.isEol()) {
      m_rows.endOfLine();
      m_node = 0;
    } else if (n.isRun()) {
      m_rows.run(n.b);
      m_node = 0;
    } else if (n.a == 0) {
      // No 0-branch: 13 bits that are no code. Skip to the next 0 bit.
      m_rows.invalidCode();
      m_node = 0;
      m_skipOnes = true;
    }
  }
}

} // namespace faximage
