#pragma once
// Reads a coded page least significant bit of each byte first through a
// 64-bit register. Past the end of the data it reads zero bits, which no code
// starts with often enough to go on for long: decoders see an invalid code or
// an EOL search that runs out, and ask position() whether the data is over.

#include "faximage/WordLoad.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace faximage {

class T4BitReader {
public:
  T4BitReader(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  // Tops the register up to at least 57 bits.
  void refill() {
    if (m_bits > 56)
      return;
    const unsigned fit = (64 - m_bits) / 8;
    if (m_size - m_pos >= 8) {
      uint64_t word = loadLittleEndian64(m_data + m_pos);
      if (fit < 8)
        word &= (uint64_t(1) << (8 * fit)) - 1;
      m_acc |= word << m_bits;
      m_pos += fit;
    } else {
      for (unsigned i = 0; i < fit; ++i) {
        if (m_pos < m_size)
          m_acc |= uint64_t(m_data[m_pos++]) << (m_bits + 8 * i);
        else
          ++m_zeroBytes;
      }
    }
    m_bits += 8 * fit;
  }
  // The next bits, the first in bit 0; only the register's count are real.
  uint64_t peek() const { return m_acc; }
  unsigned available() const { return m_bits; }
  // Drops `n` bits, at most available().
  void skip(unsigned n) {
    m_acc = n < 64 ? m_acc >> n : 0;
    m_bits -= n;
  }
  // Zero bits at the front of the register (64 when it is all zero).
  unsigned leadingZeros() const { return unsigned(std::countr_zero(m_acc)); }

  // Bits consumed so far, the zeros read past the end included.
  std::size_t position() const { return (m_pos + m_zeroBytes) * 8 - m_bits; }
  bool atEnd() const { return position() >= m_size * 8; }

private:
  const uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
  std::size_t m_zeroBytes = 0; // zero bytes put in the register past the end
  uint64_t m_acc = 0;
  unsigned m_bits = 0;
};

} // namespace faximage
