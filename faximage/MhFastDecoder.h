#pragma once
// Table-driven Modified Huffman decoder. Instead of walking the decoding tree
// bit by bit it looks the next 13 bits up in a table per colour that says
// what the walk from the root would meet first (a run, EOL, an invalid code
// or the fill node) and after how many bits. Fill and the ones skipped after
// an invalid code are consumed a whole run of bits at a time.
//
// It produces exactly the events of MhBitDecoder, including the page end
// rule that the three-EOL test is made only at byte boundaries.

#include "faximage/MhRowBuilder.h"

#include <cstddef>
#include <cstdint>

namespace faximage {

class MhFastDecoder {
public:
  explicit MhFastDecoder(MhRowBuilder& rows);

  void startPage();
  // Decodes the next bytes of the page's bit stream. Returns true once the
  // page has ended (three EOLs in a row); further bytes are then ignored.
  bool feed(const uint8_t* data, std::size_t length);
  bool pageEnded() const { return m_ended; }

  struct Entry; // one slot of the lookup tables

private:
  bool step();
  bool stepAfterPageEnd();
  void consume(unsigned bits) {
    m_acc = bits < 64 ? m_acc >> bits : 0; // a whole word of fill or skipped ones
    m_accBits -= bits;
  }
  bool decodeOne();
  std::size_t decodeRuns(const uint8_t* data, std::size_t pos, std::size_t length);
  std::size_t refill(const uint8_t* data, std::size_t pos, std::size_t length);

  MhRowBuilder& m_rows;
  const Entry* m_tables[2]; // per colour: what the next 13 bits decode to
  const uint32_t* m_pairs;  // white and black run codes the next 12 bits hold
  uint64_t m_acc = 0;       // pending bits, the next one in bit 0
  unsigned m_accBits = 0;   // how many bits of m_acc are real
  bool m_skipOnes = false;
  bool m_inFill = false;
  bool m_ended = false;
};

} // namespace faximage
