#include "sim/class2/MhCodec.h"

#include <unordered_map>

namespace tolvane::sim::mh {
namespace {

// Code words of T.4 tables 2 and 3, leftmost bit first: terminating codes for
// runs 0..63, then make-up codes for 64..1728 in steps of 64.
const char* const kWhite[] = {
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111",
    "01000", "001000", "000011", "110100", "110101", "101010", "101011", "0100111", "0001100",
    "0001000", "0010111", "0000011", "0000100", "0101000", "0101011", "0010011", "0100100",
    "0011000", "00000010", "00000011", "00011010", "00011011", "00010010", "00010011", "00010100",
    "00010101", "00010110", "00010111", "00101000", "00101001", "00101010", "00101011", "00101100",
    "00101101", "00000100", "00000101", "00001010", "00001011", "01010010", "01010011", "01010100",
    "01010101", "00100100", "00100101", "01011000", "01011001", "01011010", "01011011", "01001010",
    "01001011", "00110010", "00110011", "00110100",
    // make-up 64 .. 1728
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101",
    "01101000", "01100111", "011001100", "011001101", "011010010", "011010011", "011010100",
    "011010101", "011010110", "011010111", "011011000", "011011001", "011011010", "011011011",
    "010011000", "010011001", "010011010", "011000", "010011011"};

const char* const kBlack[] = {
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100", "0000100",
    "0000101", "0000111", "00000100", "00000111", "000011000", "0000010111", "0000011000",
    "0000001000", "00001100111", "00001101000", "00001101100", "00000110111", "00000101000",
    "00000010111", "00000011000", "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111",
    // make-up 64 .. 1728
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011", "000000110100",
    "000000110101", "0000001101100", "0000001101101", "0000001001010", "0000001001011",
    "0000001001100", "0000001001101", "0000001110010", "0000001110011", "0000001110100",
    "0000001110101", "0000001110110", "0000001110111", "0000001010010", "0000001010011",
    "0000001010100", "0000001010101", "0000001011010", "0000001011011", "0000001100100",
    "0000001100101"};

// Make-up codes 1792 .. 2560 shared by both colours (T.4 table 3).
const char* const kExtended[] = {"00000001000",  "00000001100",  "00000001101",  "000000010010",
                                 "000000010011", "000000010100", "000000010101", "000000010110",
                                 "000000010111", "000000011100", "000000011101", "000000011110",
                                 "000000011111"};

struct Code {
  uint32_t bits = 0;
  int length = 0;
};

Code toCode(const char* text) {
  Code c;
  for (const char* p = text; *p; ++p) {
    c.bits = (c.bits << 1) | static_cast<uint32_t>(*p == '1');
    ++c.length;
  }
  return c;
}

Code codeFor(bool black, int run) {
  if (run < 64)
    return toCode(black ? kBlack[run] : kWhite[run]);
  if (run <= 1728)
    return toCode(black ? kBlack[63 + run / 64] : kWhite[63 + run / 64]);
  return toCode(kExtended[(run - 1792) / 64]);
}

constexpr uint32_t key(int length, uint32_t bits) {
  return (static_cast<uint32_t>(length) << 16) | bits;
}

// Run lengths by (length, code) for one colour.
using DecodeTable = std::unordered_map<uint32_t, int>;

DecodeTable buildTable(bool black) {
  DecodeTable table;
  for (int run = 0; run < 64; ++run) {
    Code c = codeFor(black, run);
    table[key(c.length, c.bits)] = run;
  }
  for (int run = 64; run <= 2560; run += 64) {
    Code c = codeFor(black, run);
    table[key(c.length, c.bits)] = run;
  }
  return table;
}

const DecodeTable& tableFor(bool black) {
  static const DecodeTable white = buildTable(false);
  static const DecodeTable blackTable = buildTable(true);
  return black ? blackTable : white;
}

void putRun(BitWriter& out, bool black, int run) {
  while (run > 2560) {
    Code c = codeFor(black, 2560);
    out.put(c.bits, c.length);
    run -= 2560;
  }
  if (run >= 64) {
    Code c = codeFor(black, run / 64 * 64);
    out.put(c.bits, c.length);
    run %= 64;
  }
  Code c = codeFor(black, run);
  out.put(c.bits, c.length);
}

bool pixel(const Row& row, int x) {
  size_t byte = static_cast<size_t>(x) / 8;
  return byte < row.size() && (row[byte] & (0x80 >> (x % 8))) != 0;
}

void setPixels(Row& row, int from, int to) {
  for (int x = from; x < to; ++x)
    row[static_cast<size_t>(x) / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

// Reads bits in line order from a byte string.
class BitReader {
public:
  BitReader(const uint8_t* data, size_t len, bool msbFirst)
      : m_data(data), m_bits(len * 8), m_msbFirst(msbFirst) {}
  bool atEnd() const { return m_pos >= m_bits; }
  int next() {
    uint8_t byte = m_data[m_pos / 8];
    int bit = m_msbFirst ? (byte >> (7 - m_pos % 8)) & 1 : (byte >> (m_pos % 8)) & 1;
    ++m_pos;
    return bit;
  }

private:
  const uint8_t* m_data;
  size_t m_bits;
  size_t m_pos = 0;
  bool m_msbFirst;
};

// Decoder of one page: a row starts after each EOL and ends when its runs
// reach the page width; zero bits after that are fill up to the next EOL.
class PageDecoder {
public:
  PageDecoder(int width, DecodeResult& result) : m_width(width), m_result(result) {}

  // Returns false once the page has ended (RTC).
  bool bit(int b) {
    if (b == 1 && m_zeros >= 11)
      return eol();
    m_zeros = b == 0 ? m_zeros + 1 : 0;
    if (m_inRow)
      shiftIn(b);
    return true;
  }

  void finish() {
    if (m_inRow)
      endRow(false);
  }

private:
  bool eol() {
    m_zeros = 0;
    if (m_inRow)
      endRow(false);
    m_emptyEols = m_sawRowSinceEol ? 1 : m_emptyEols + 1;
    m_sawRowSinceEol = false;
    if (m_emptyEols >= 6)
      return false;
    startRow();
    return true;
  }

  void startRow() {
    m_inRow = true;
    m_row.assign(static_cast<size_t>((m_width + 7) / 8), 0);
    m_x = 0;
    m_black = false;
    m_code = 0;
    m_codeLength = 0;
  }

  void shiftIn(int b) {
    m_code = (m_code << 1) | static_cast<uint32_t>(b);
    // No code word has more than 7 leading zeros or 13 bits: this is fill
    // or an EOL inside the row, or noise.
    if (++m_codeLength > 13 || (m_code == 0 && m_codeLength >= 8)) {
      endRow(false);
      return;
    }
    const DecodeTable& table = tableFor(m_black);
    auto it = table.find(key(m_codeLength, m_code));
    if (it == table.end())
      return;
    int run = it->second;
    m_code = 0;
    m_codeLength = 0;
    if (m_x + run > m_width) {
      endRow(false);
      return;
    }
    if (m_black)
      setPixels(m_row, m_x, m_x + run);
    m_x += run;
    m_sawRowSinceEol = true;
    if (run < 64) {
      m_black = !m_black;
      if (m_x == m_width)
        endRow(true);
    }
  }

  void endRow(bool complete) {
    m_inRow = false;
    if (!m_sawRowSinceEol)
      return; // EOL straight after EOL: no row in between
    if (!complete)
      ++m_result.badRows;
    m_result.rows.push_back(m_row);
  }

  int m_width;
  DecodeResult& m_result;
  Row m_row;
  bool m_inRow = false;
  bool m_black = false;
  bool m_sawRowSinceEol = false;
  int m_x = 0;
  int m_zeros = 0;
  int m_emptyEols = 0;
  uint32_t m_code = 0;
  int m_codeLength = 0;
};

} // namespace

void BitWriter::put(uint32_t code, int length) {
  for (int i = length - 1; i >= 0; --i) {
    if (m_bits % 8 == 0)
      m_bytes.push_back(0);
    if ((code >> i) & 1) {
      int bit = static_cast<int>(m_bits % 8);
      m_bytes.back() |= static_cast<uint8_t>(m_msbFirst ? 0x80 >> bit : 1 << bit);
    }
    ++m_bits;
  }
}

void BitWriter::padToByte() {
  while (m_bits % 8 != 0)
    put(0, 1);
}

std::vector<uint8_t> BitWriter::take() {
  m_bits = 0;
  return std::move(m_bytes);
}

std::vector<uint8_t> BitWriter::takeCompleteBytes() {
  size_t whole = m_bits / 8;
  std::vector<uint8_t> done(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(whole));
  m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(whole));
  m_bits -= whole * 8;
  return done;
}

void encodeRow(BitWriter& out, const Row& row, int width, int minBits) {
  size_t start = out.bitCount();
  out.put(1, 12); // EOL
  bool black = false;
  int x = 0;
  while (x < width) {
    int end = x;
    while (end < width && pixel(row, end) == black)
      ++end;
    putRun(out, black, end - x);
    x = end;
    black = !black;
  }
  while (out.bitCount() - start < static_cast<size_t>(minBits))
    out.put(0, 1);
}

void encodeRtc(BitWriter& out) {
  for (int i = 0; i < 6; ++i)
    out.put(1, 12);
}

DecodeResult decodePage(const uint8_t* data, size_t len, int width, bool msbFirst) {
  DecodeResult result;
  PageDecoder decoder(width, result);
  BitReader reader(data, len, msbFirst);
  while (!reader.atEnd()) {
    if (!decoder.bit(reader.next()))
      return result;
  }
  decoder.finish();
  return result;
}

} // namespace tolvane::sim::mh
