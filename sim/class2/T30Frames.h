#pragma once
// T.30 facsimile control field values (T.30 table 5) with the X bit
// cleared, as the Class 2 modem looks at the frames it sees.

#include <cstdint>

namespace tolvane::sim {

inline constexpr uint8_t kFcfDis = 0x80, kFcfCsi = 0x40, kFcfDcs = 0x82, kFcfTsi = 0x42;
inline constexpr uint8_t kFcfCfr = 0x84, kFcfMps = 0x4E, kFcfEop = 0x2E, kFcfEom = 0x8E;
inline constexpr uint8_t kFcfMcf = 0x8C, kFcfRtp = 0xCC, kFcfRtn = 0x4C, kFcfPip = 0xAC;
inline constexpr uint8_t kFcfPin = 0x2C, kFcfPriMps = 0x5E, kFcfPriEop = 0x3E, kFcfPriEom = 0x9E;
// Error correction: the partial page signal, whose FIF starts with the
// post-page message of its block (0 within a page).
inline constexpr uint8_t kFcfPps = 0xBE;

} // namespace tolvane::sim
