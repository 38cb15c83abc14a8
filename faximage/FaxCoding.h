#pragma once
// The codings a fax page travels in: T.4 one-dimensional (MH), T.4
// two-dimensional (MR) and T.6 (MMR). Coded data is placed least significant
// bit of each byte first, as the modem sends it and APF files store it.

#include <cstddef>

namespace faximage {

enum class FaxCoding { Mh, Mr, Mmr };

struct CodingOptions {
  FaxCoding coding = FaxCoding::Mh;
  // MR only: every k-th row is coded one-dimensionally (so damage spreads at
  // most k rows); T.4 sets 2 at standard and 4 at fine resolution.
  int k = 4;
  // MH and MR: zero fill before each EOL so that every row (EOL included)
  // takes at least this many bits, for the receiver's minimum scan line time.
  std::size_t minRowBits = 0;
};

inline int mrK(bool fine) {
  return fine ? 4 : 2;
}

} // namespace faximage
