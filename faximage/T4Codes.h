#pragma once
// Codes of the page coders beyond the MH run tables: the two-dimensional mode
// codes of T.4 (4.2.1.3) and T.6, least significant bit first as they are
// placed on the line, and the lookup tables the decoder reads them with.

#include "faximage/MhCodes.h"

#include <cstdint>

namespace faximage::t4 {

// A code as T.4 prints it, reversed for placing least significant bit first.
constexpr mh::LsbCode lsb(const char* s) {
  uint16_t v = 0;
  uint8_t n = 0;
  for (; s[n]; ++n)
    v = uint16_t(v | ((s[n] == '1') << n));
  return mh::LsbCode{v, n};
}

inline constexpr mh::LsbCode kPass = lsb("0001");
inline constexpr mh::LsbCode kHorizontal = lsb("001");
// Vertical mode codes by a1 - b1 + 3: VL3, VL2, VL1, V0, VR1, VR2, VR3.
inline constexpr mh::LsbCode kVertical[7] = {lsb("0000010"), lsb("000010"), lsb("010"), lsb("1"),
                                             lsb("011"),     lsb("000011"), lsb("0000011")};
// EOL followed by the MR tag bit: 1 before a one-dimensional row, 0 before a two-dimensional one.
inline constexpr mh::LsbCode kEolOneDim = lsb("0000000000011");
inline constexpr mh::LsbCode kEolTwoDim = lsb("0000000000010");
inline constexpr mh::LsbCode kEol = lsb("000000000001");

// What the next seven bits start with in a two-dimensional row.
struct ModeEntry {
  enum Kind : uint8_t { Vertical, Pass, Horizontal, Invalid } kind;
  int8_t delta;   // a1 - b1 for vertical modes
  uint8_t length; // bits of the mode code
};
inline constexpr unsigned kModeBits = 7;
// Indexed by the next seven bits, the first in bit 0. Seven zeros (EOL or
// damage) and the extension code are Invalid.
struct ModeTable {
  ModeEntry at[1u << kModeBits];
};
extern const ModeTable kModeTable;

// Run codes of one colour by the next 13 bits: (run << 4) | code length; 0
// where no code starts, kEolRun as the run of EOL.
inline constexpr unsigned kRunBits = 13;
inline constexpr uint16_t kEolRun = 0xFFF;
struct RunTables {
  uint16_t at[2][1u << kRunBits]; // [colour][window], colour 0 white
};
// Built on first use.
const RunTables& runTables();

} // namespace faximage::t4
