#include "faximage/MhFastDecoder.h"

#include "faximage/MhBitDecoder.h"
#include "faximage/MhRunPairs.h"
#include "faximage/WordLoad.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <vector>

namespace faximage {

namespace {

constexpr unsigned kWindowBits = 13;

// Values of an entry beyond the longest run (2560) name what else was met.
enum Kind : uint16_t { kFill = 4093, kInvalid = 4094, kEol = 4095 };

} // namespace

// What a walk from the root meets first for one 13-bit window, in two bytes
// so that both colours' tables fit the first-level cache: the run length (or
// a Kind) and the number of bits it took.
struct MhFastDecoder::Entry {
  uint16_t packed;
  Entry(unsigned value, unsigned depth) : packed(uint16_t(value << 4 | depth)) {}
  unsigned value() const { return packed >> 4u; }
  unsigned depth() const { return packed & 15u; }
  bool isRun() const { return value() <= 2560; }
};

namespace {

using Entry = MhFastDecoder::Entry;

Entry walk(const MhDecodeTree& tree, unsigned window) {
  int node = 0;
  for (unsigned d = 0; d < kWindowBits; ++d) {
    node = tree.branch(node, (window >> d) & 1);
    const MhDecodeTree::Node& n = tree.node(node);
    const uint8_t depth = uint8_t(d + 1);
    if (n.isEol())
      return {kEol, depth};
    if (n.isRun())
      return {unsigned(n.b), depth};
    if (node == MhDecodeTree::kFillNode)
      return {kFill, depth};
    if (n.a == 0)
      return {kInvalid, depth};
  }
  return {kInvalid, kWindowBits}; // not reached: every 13-bit walk ends in a leaf
}

// Both colours' tables, white first, in one block: the black table is the
// white one's address plus a shift of the colour.
const Entry* tables() {
  static const auto both = [] {
    auto t = std::make_unique<std::vector<Entry>>();
    t->reserve(2u << kWindowBits);
    for (const MhDecodeTree* tree : {&whiteDecodeTree(), &blackDecodeTree()})
      for (unsigned w = 0; w < (1u << kWindowBits); ++w)
        t->push_back(walk(*tree, w));
    return t;
  }();
  return both->data();
}

} // namespace

MhFastDecoder::MhFastDecoder(MhRowBuilder& rows)
    : m_rows(rows), m_tables{tables(), tables() + (1u << kWindowBits)}, m_pairs(mhRunPairs()) {}

void MhFastDecoder::startPage() {
  m_acc = 0;
  m_accBits = 0;
  m_skipOnes = false;
  m_inFill = false;
  m_ended = false;
}

bool MhFastDecoder::feed(const uint8_t* data, std::size_t length) {
  std::size_t pos = 0;
  while (!m_ended) {
    if (!m_skipOnes && !m_inFill && m_rows.eolCount() < 3)
      pos = decodeRuns(data, pos, length);
    // Every decision needs at most 13 bits, so topping up below 16 is enough
    // and happens only every few codes.
    if (m_accBits < 16)
      pos = refill(data, pos, length);
    if (!step() && pos == length)
      break;
  }
  return m_ended;
}

// The hot loop: run codes and ends of line one after another, with the bit
// register in local variables, until something else (an invalid code, fill
// running past the register, the third EOL) comes up or fewer than eight
// bytes of input are left.
std::size_t MhFastDecoder::decodeRuns(const uint8_t* data, std::size_t pos, std::size_t length) {
  uint64_t acc = m_acc;
  unsigned bits = m_accBits;
  MhColour colour = m_rows.colour();
  // A local: read through `this`, the table address would be fetched again
  // after every store into the row, in the chain each code waits for.
  const Entry* const both = m_tables[0];
  const uint32_t* const pairs = m_pairs;
  for (;;) {
    if (bits < 16) {
      if (length - pos < 8)
        break;
      const uint64_t word = loadLittleEndian64(data + pos);
      const unsigned fit = (64 - bits) / 8;
      acc |= (word & (~uint64_t(0) >> (64 - 8 * fit))) << bits;
      bits += 8 * fit;
      pos += fit;
    }
    if (colour == MhColour::White) {
      // Two codes for one look-up, unless the white run does not change the
      // colour (it is ignored), in which case only it is taken; or one code
      // where the next one is not a black terminating code.
      if (const uint32_t p = pairs[acc & ((1u << kRunPairBits) - 1)]) {
        const MhRunPair pair(p);
        if (pair.single) {
          acc >>= pair.whiteBits;
          bits -= pair.whiteBits;
          colour = m_rows.runOf(colour, int(pair.white));
          continue;
        }
        colour = m_rows.runOf(colour, int(pair.white));
        const unsigned used = colour == MhColour::Black ? pair.bothBits : pair.whiteBits;
        acc >>= used;
        bits -= used;
        if (colour == MhColour::Black)
          colour = m_rows.runOf(colour, int(pair.black));
        continue;
      }
    }
    const Entry e = both[unsigned(colour) << kWindowBits | (acc & ((1u << kWindowBits) - 1))];
    if (!e.isRun()) {
      // An EOL, with or without fill before it, ends the row here too when
      // its final 1 is in the register; the page end is left to step().
      unsigned eolBits = e.value() == kEol ? e.depth() : 0;
      if (e.value() == kFill) {
        const unsigned zeros = e.depth() + unsigned(std::countr_zero(acc >> e.depth()));
        eolBits = zeros < bits ? zeros + 1 : 0;
      }
      if (eolBits == 0)
        break;
      acc = eolBits < 64 ? acc >> eolBits : 0;
      bits -= eolBits;
      m_rows.endOfLine();
      if (m_rows.eolCount() >= 3)
        break;
      colour = m_rows.colour();
      continue;
    }
    acc >>= e.depth();
    bits -= e.depth();
    colour = m_rows.runOf(colour, int(e.value()));
  }
  m_acc = acc;
  m_accBits = bits;
  return pos;
}

// Tops the bit register up with as many whole bytes as fit.
std::size_t MhFastDecoder::refill(const uint8_t* data, std::size_t pos, std::size_t length) {
  const unsigned fit = (64 - m_accBits) / 8;
  if (length - pos >= 8) {
    uint64_t word = loadLittleEndian64(data + pos);
    if (fit < 8)
      word &= (uint64_t(1) << (8 * fit)) - 1;
    m_acc |= word << m_accBits;
    m_accBits += 8 * fit;
    return pos + fit;
  }
  while (m_accBits <= 56 && pos < length) {
    m_acc |= uint64_t(data[pos++]) << m_accBits;
    m_accBits += 8;
  }
  return pos;
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
  const Entry e = m_tables[int(m_rows.colour())][m_acc & ((1u << kWindowBits) - 1)];
  if (e.depth() > m_accBits)
    return false;
  consume(e.depth());
  switch (e.value()) {
  default:
    m_rows.run(int(e.value()));
    break;
  case kEol:
    m_rows.endOfLine();
    break;
  case kInvalid:
    m_rows.invalidCode();
    m_skipOnes = true;
    break;
  case kFill:
    m_inFill = true;
    break;
  }
  return true;
}

// The page end is noticed only between bytes: the rest of the byte that held
// the third EOL is still decoded, and a run completed there continues the page.
bool MhFastDecoder::stepAfterPageEnd() {
  // Input arrives in whole bytes, so the bits left of the current byte are
  // the register's bit count modulo 8.
  const unsigned left = m_accBits % 8;
  if (left == 0) {
    m_ended = true;
    return false;
  }
  const Entry e = m_tables[int(m_rows.colour())][m_acc & ((1u << kWindowBits) - 1)];
  if (e.depth() <= std::min(left, m_accBits)) {
    consume(e.depth());
    m_rows.run(int(e.value())); // only a run code is short enough to end inside the byte
    return true;
  }
  if (m_accBits < left)
    return false;
  m_ended = true;
  return false;
}

} // namespace faximage
