#pragma once
// Eight bytes as one 64-bit word, in either byte order, with one load.

#include <bit>
#include <cstdint>
#include <cstring>

namespace faximage {

// The first byte in the lowest bits: the order coded fax data is read in.
inline uint64_t loadLittleEndian64(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big)
    word = __builtin_bswap64(word);
  return word;
}

// The first byte in the highest bits: packed pixels, the first in bit 63.
inline uint64_t loadBigEndian64(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::little)
    word = __builtin_bswap64(word);
  return word;
}

} // namespace faximage
