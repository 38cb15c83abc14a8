#include "faximage/MhDecodeTree.h"

#include "faximage/MhCodes.h"

namespace faximage {

namespace {

constexpr int kMaxDepth = 13;

struct Match {
  enum Kind { Inner, Run, Eol } kind = Inner;
  int run = 0;
};

bool equals(const mh::Code& code, uint32_t prefix, int depth) {
  return code.length == depth && code.bits == prefix;
}

// What the bit string `prefix` of `depth` bits is in this colour's code set.
Match classify(uint32_t prefix, int depth, MhColour colour) {
  const mh::Code* term = colour == MhColour::White ? mh::kWhiteTerminating : mh::kBlackTerminating;
  const mh::Code* makeUp = colour == MhColour::White ? mh::kWhiteMakeUp : mh::kBlackMakeUp;
  for (int i = 0; i < 64; ++i)
    if (equals(term[i], prefix, depth))
      return Match{Match::Run, i};
  for (int i = 0; i < mh::kMakeUpCount; ++i)
    if (equals(makeUp[i], prefix, depth))
      return Match{Match::Run, 64 * (i + 1)};
  if (equals(mh::kEol, prefix, depth))
    return Match{Match::Eol, 0};
  return Match{};
}

} // namespace

MhDecodeTree::MhDecodeTree(MhColour colour) {
  build(0, 0, colour);
  m_nodes[kFillNode].a = kFillNode;
}

// Creates the node for `prefix` and the nodes of both its branches. Every bit
// string gets a node down to 13 bits, so a string that is no code ends in a
// 13-bit node without branches: that is how an invalid code is recognised.
// Returns the new node's index, or 0 when the table is full.
int MhDecodeTree::build(uint32_t prefix, int depth, MhColour colour) {
  if (m_count >= kMaxNodes)
    return 0;
  const Match m = depth == 0 ? Match{} : classify(prefix, depth, colour);
  const int index = m_count++;
  if (m.kind == Match::Run) {
    m_nodes[index] = Node{kRunLeaf, m.run};
  } else if (m.kind == Match::Eol) {
    m_nodes[index] = Node{kEolLeaf, 0};
  } else if (depth < kMaxDepth) {
    const int zero = build(prefix << 1, depth + 1, colour);
    const int one = build((prefix << 1) | 1, depth + 1, colour);
    m_nodes[index] = Node{zero, one};
  }
  return index;
}

} // namespace faximage
