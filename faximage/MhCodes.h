#pragma once
// The one-dimensional Modified Huffman code tables of ITU-T T.4 (4.1.2):
// terminating codes for runs 0-63 and make-up codes for 64-2560 in steps of 64
// (the extended make-up codes 1792-2560 are shared by both colours), and EOL.

#include <cstdint>

namespace faximage::mh {

struct Code {
  uint16_t bits;  // the code as T.4 writes it, first bit in the highest used position
  uint8_t length; // number of bits
};

inline constexpr int kMaxRun = 2560;
inline constexpr int kMakeUpCount = 40; // 64, 128, ..., 2560
inline constexpr Code kEol{0x001, 12};

extern const Code kWhiteTerminating[64];
extern const Code kBlackTerminating[64];
// Index i is the make-up code for 64 * (i + 1).
extern const Code kWhiteMakeUp[kMakeUpCount];
extern const Code kBlackMakeUp[kMakeUpCount];

// A code bit-reversed within its length, ready to be placed least significant
// bit first, which is the order the fax modem transmits and APF files store.
struct LsbCode {
  uint16_t bits;
  uint8_t length;
};

// Reversed tables: [colour][run], colour 0 white, 1 black.
struct LsbTables {
  LsbCode terminating[2][64];
  LsbCode makeUp[2][kMakeUpCount];
};
extern const LsbTables kLsbTables;

} // namespace faximage::mh
