#pragma once
// Bit-by-bit decoding tree of one colour's Modified Huffman codes.
//
// Nodes are numbered in the order a depth-first walk creates them (0-branch
// before 1-branch), so the node reached by n 0 bits is node n for n <= 11.
// Node 11 gets itself as its 0-branch, which makes any number of fill bits
// followed by a 1 read as end of line.

#include <array>
#include <cstdint>

namespace faximage {

enum class MhColour : uint8_t { White = 0, Black = 1 };

class MhDecodeTree {
public:
  static constexpr int kMaxNodes = 307;
  static constexpr int kRunLeaf = -1;
  static constexpr int kEolLeaf = -2;
  static constexpr int kFillNode = 11;

  // An inner node holds its branches (0 = none); a run leaf holds kRunLeaf and
  // the run length; the end-of-line leaf holds kEolLeaf.
  struct Node {
    int32_t a = 0;
    int32_t b = 0;
    bool isRun() const { return a == kRunLeaf; }
    bool isEol() const { return a == kEolLeaf; }
    bool isLeaf() const { return a < 0; }
  };

  explicit MhDecodeTree(MhColour colour);

  const Node& node(int index) const { return m_nodes[index]; }
  // Branch taken from an inner node by one bit; 0 when there is none.
  int branch(int index, int bit) const { return bit ? m_nodes[index].b : m_nodes[index].a; }
  int nodeCount() const { return m_count; }

private:
  int build(uint32_t prefix, int depth, MhColour colour);

  std::array<Node, kMaxNodes> m_nodes{};
  int m_count = 0;
};

} // namespace faximage
