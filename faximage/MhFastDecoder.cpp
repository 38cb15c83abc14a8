#include "faximage/MhFastDecoder.h"

#include "faximage/MhBitDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>

namespace faximage {

namespace {

constexpr unsigned kWindowBits = 13;

enum Kind : uint8_t { kRun, kEol, kInvalid, kFill };

// What a walk from the root meets first for one 13-bit window.
struct Entry {
  uint16_t run;
  uint8_t kind;
  uint8_t depth;
};

using Table = std::array<Entry, 1u << kWindowBits>;

Entry walk(const MhDecodeTree& tree, unsigned window) {
  int node = 0;
  for (unsigned d = 0; d < kWindowBits; ++d) {
    node = tree.branch(node, (window >> d) & 1);
    const MhDecodeTree::Node& n = tree.node(node);
    const uint8_t depth = uint8_t(d + 1);
    if (n.isEol())
      return {0, kEol, depth};
    if (n.isRun())
      return {uint16_t(n.b), kRun, depth};
    if (node == MhDecodeTree::kFillNode)
      return {0, kFill, depth};
    if (n.a == 0)
      return {0, kInvalid, depth};
  }
  return {0, kInvalid, kWindowBits}; // not reached: every 13-bit walk ends in a leaf
}

const Table& table(MhColour colour) {
  static const auto build = [](const MhDecodeTree& tree) {
    auto t = std::make_unique<Table>();
    for (unsigned w = 0; w < t->size(); ++w)
      (*t)[w] = walk(tree, w);
    return t;
  };
  static const auto white = build(whiteDecodeTree());
  static const auto black = build(blackDecodeTree());
  return colour == MhColour::White ? *white : *black;
}

} // namespace

MhFastDecoder::MhFastDecoder(MhRowBuilder& rows) : m_rows(rows) {
  table(MhColour::White); // build both tables before the first page
}

void MhFastDecoder::startPage() {
  m_acc = 0;
  m_accBits = 0;
  m_consumed = 0;
  m_skipOnes = false;
  m_inFill = false;
  m_ended = false;
}

bool MhFastDecoder::feed(const uint8_t* data, std::size_t length) {
  std::size_t pos = 0;
  while (!m_ended) {
    while (m_accBits <= 56 && pos < length) {
      m_acc |= uint64_t(data[pos++]) << m_accBits;
      m_accBits += 8;
    }
    if (!step() && pos == length)
      break;
  }
  return m_ended;
}

// One decoding event, or false when more bits are needed first.
bool MhFastDecoder::step() {
  if (m_rows.eolCount() >= 3)
    return stepAfterPageEnd();
  if (m_skipOnes) {
    consume(std::min<unsigned>(std::countr_one(m_acc), m_accBits));
    if (m_accBits == 0)
      return false;
    m_skipOnes = false; // the 0 bit starts the next code
  }
  if (m_inFill) {
    consume(std::min<unsigned>(std::countr_zero(m_acc), m_accBits));
    if (m_accBits == 0)
      return false;
    consume(1);
    m_inFill = false;
    m_rows.endOfLine();
    return true;
  }
  return decodeOne();
}

bool MhFastDecoder::decodeOne() {
  const Entry e = table(m_rows.colour())[m_acc & ((1u << kWindowBits) - 1)];
  if (e.depth > m_accBits)
    return false;
  consume(e.depth);
  switch (e.kind) {
  case kRun:
    m_rows.run(e.run);
    break;
  case kEol:
    m_rows.endOfLine();
    break;
  case kInvalid:
    m_rows.invalidCode();
    m_skipOnes = true;
    break;
  default:
    m_inFill = true;
    break;
  }
  return true;
}

// The page end is noticed only between bytes: the rest of the byte that held
// the third EOL is still decoded, and a run completed there continues the page.
bool MhFastDecoder::stepAfterPageEnd() {
  const unsigned left = unsigned(8 - m_consumed % 8) % 8;
  if (left == 0) {
    m_ended = true;
    return false;
  }
  const Entry e = table(m_rows.colour())[m_acc & ((1u << kWindowBits) - 1)];
  if (e.depth <= std::min(left, m_accBits)) {
    consume(e.depth);
    m_rows.run(e.run); // only a run code is short enough to end inside the byte
    return true;
  }
  if (m_accBits < left)
    return false;
  m_ended = true;
  return false;
}

} // namespace faximage
