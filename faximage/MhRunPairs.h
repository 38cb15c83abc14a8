#pragma once
// A white and a black terminating code read with one look-up. Rows of text
// and line art are mostly short runs, and a white run is nearly always
// followed by a black one, so both MH row decoders take two codes at a time
// wherever both fit the next 12 bits.

#include <cstdint>

namespace faximage {

inline constexpr unsigned kRunPairBits = 12;

// Indexed by the next 12 bits of a row at a white run, the first in bit 0:
// 0 where they do not start with a white code (an EOL or damage), a pair
// where they start with two terminating codes (white, then black), else the
// one white code (every white code fits in 12 bits). Built on first use.
const uint32_t* mhRunPairs();

struct MhRunPair {
  // A pair is white run | black run << 6 | bits of the white code << 12 |
  // bits of both codes << 16; a single code is its run | its bits << 12 with
  // the top bit set.
  static constexpr uint32_t kSingle = 1u << 31;

  bool single;
  unsigned white, black, whiteBits, bothBits;
  explicit MhRunPair(uint32_t p)
      : single(p & kSingle), white(single ? p & 4095 : p & 63), black(p >> 6 & 63),
        whiteBits(p >> 12 & 15), bothBits(p >> 16 & 31) {}
};

} // namespace faximage
