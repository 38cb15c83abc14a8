#include "faximage/PageDecoder.h"

#include "faximage/ChangingElements.h"
#include "faximage/T4BitReader.h"
#include "faximage/T4Codes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace faximage {

namespace {

constexpr int kEndMarks = 4;

// An EOL starts at the next bit (the register freshly filled): eleven or
// more zeros, then a 1 of the data.
bool eolAhead(const T4BitReader& in) {
  const unsigned z = in.leadingZeros();
  return z >= 11 && z < in.available();
}

class Decoder {
public:
  Decoder(const uint8_t* data, std::size_t size, FaxCoding coding, int width, int maxRows)
      : m_in(data, size), m_coding(coding), m_width(width), m_stride((std::size_t(width) + 7) / 8),
        m_maxRows(maxRows), m_runs(t4::runTables()), m_ref(changeListCapacity(width)),
        m_cur(changeListCapacity(width)) {
    std::fill_n(m_ref.begin(), kEndMarks, m_width); // the row above the first is white
    m_bits.reserve(m_stride * std::size_t(std::min(maxRows, 2400)));
  }

  DecodedPage run() {
    if (m_width > 0) {
      if (m_coding == FaxCoding::Mmr)
        decodeMmr();
      else
        decodeWithEols();
    }
    const int rows = m_rows;
    return DecodedPage{PageBitmap(m_width, rows, std::move(m_bits)), m_badRows, m_ended};
  }

private:
  void decodeMmr();
  void decodeWithEols();
  bool decodeOneDim(T4BitReader& in, int& count);
  bool decodeTwoDim(T4BitReader& in, int& count);
  int readRun(T4BitReader& in, int colour) const;
  bool seekEol(T4BitReader& in, bool& junk);
  void goodRow(int count);
  void badRow();

  // Adds a changing element at x (none at the row's end); one at the same
  // place as the last cancels it, which is what a zero-length run means.
  static void push(int* cur, int& n, int x, int width) {
    if (x >= width)
      return;
    if (n > 0 && cur[n - 1] == x)
      --n;
    else
      cur[n++] = x;
  }

  T4BitReader m_in;
  FaxCoding m_coding;
  int m_width;
  std::size_t m_stride;
  int m_maxRows;
  const t4::RunTables& m_runs;
  std::vector<int> m_ref; // changing elements of the row above, end marks after
  std::vector<int> m_cur;
  std::vector<uint8_t> m_bits;
  int m_rows = 0;
  int m_badRows = 0;
  bool m_ended = false;
};

void Decoder::goodRow(int count) {
  std::fill_n(m_cur.begin() + count, kEndMarks, m_width);
  m_bits.resize(m_bits.size() + m_stride);
  fillRow(m_cur.data(), count, m_width, m_bits.data() + m_bits.size() - m_stride);
  std::swap(m_ref, m_cur);
  ++m_rows;
}

void Decoder::badRow() {
  m_bits.resize(m_bits.size() + m_stride);
  if (m_rows > 0)
    std::memcpy(m_bits.data() + m_bits.size() - m_stride,
                m_bits.data() + m_bits.size() - 2 * m_stride, m_stride);
  ++m_rows;
  ++m_badRows;
}

// MMR: two-dimensional rows one after another until EOFB. Seven zero bits
// never start a row: they are EOFB, or the zero fill after the last row.
void Decoder::decodeMmr() {
  T4BitReader& in = m_in;
  while (m_rows < m_maxRows) {
    in.refill();
    if ((in.peek() & 0x7F) == 0) {
      m_ended = eolAhead(in);
      return;
    }
    int count = 0;
    if (!decodeTwoDim(in, count)) {
      ++m_badRows;
      return;
    }
    goodRow(count);
  }
}

// MH and MR: each row after an EOL (and in MR its tag bit); an EOL straight
// after another is RTC.
void Decoder::decodeWithEols() {
  T4BitReader& in = m_in;
  bool junk = false;
  if (!seekEol(in, junk))
    return;
  bool refGood = true; // the row above the first counts as white
  while (m_rows < m_maxRows) {
    in.refill();
    bool oneDim = true;
    if (m_coding == FaxCoding::Mr) {
      oneDim = in.peek() & 1;
      in.skip(1);
    }
    if (in.leadingZeros() >= 11) {
      m_ended = eolAhead(in);
      return;
    }
    int count = 0;
    bool ok = false;
    if (oneDim)
      ok = decodeOneDim(in, count);
    else if (refGood)
      ok = decodeTwoDim(in, count);
    junk = false;
    const bool more = seekEol(in, junk); // after a bad row: the rest of it
    if (ok && !junk)
      goodRow(count);
    else
      badRow();
    refGood = ok && !junk;
    if (!more)
      return;
  }
}

// Moves past the next EOL (eleven or more zeros and a 1); false when the data
// ends first. `junk` tells whether any 1 bit was skipped on the way.
bool Decoder::seekEol(T4BitReader& in, bool& junk) {
  unsigned zeros = 0;
  for (;;) {
    in.refill();
    const unsigned z = in.leadingZeros();
    if (z >= in.available()) {
      zeros += in.available();
      in.skip(in.available());
      if (in.atEnd())
        return false;
      continue;
    }
    in.skip(z + 1);
    if (zeros + z >= 11)
      return true;
    junk = true;
    zeros = 0;
  }
}

int Decoder::readRun(T4BitReader& in, int colour) const {
  const uint16_t* table = m_runs.at[colour];
  int total = 0;
  for (;;) {
    if (in.available() < t4::kRunBits)
      in.refill();
    const uint16_t e = table[in.peek() & ((1u << t4::kRunBits) - 1)];
    const unsigned length = e & 15, run = e >> 4;
    if (length == 0 || run == t4::kEolRun)
      return -1;
    in.skip(length);
    total += int(run);
    if (run < 64)
      return total;
    if (total > m_width)
      return -1;
  }
}

bool Decoder::decodeOneDim(T4BitReader& in, int& count) {
  int* cur = m_cur.data();
  int n = 0;
  int at = 0;
  for (int colour = 0; at < m_width; colour ^= 1) {
    const int run = readRun(in, colour);
    if (run < 0 || run > m_width - at)
      return false;
    at += run;
    push(cur, n, at, m_width);
  }
  count = n;
  return true;
}

// The encoder's walk in reverse (T.4 4.2.1.3.3): each mode code says where a1
// is relative to b1, or gives the runs to a1 and a2, or passes b2.
bool Decoder::decodeTwoDim(T4BitReader& in, int& count) {
  T4BitReader r = in; // a local copy stays in registers
  const t4::ModeEntry* modes = t4::kModeTable.at;
  const int* ref = m_ref.data();
  int* cur = m_cur.data();
  const int width = m_width;
  int n = 0;
  int a0 = -1;
  int colour = 0; // colour of a0
  int ib = 0;     // index of b1 in ref
  bool ok = true;
  while (a0 < width) {
    if (r.available() < 32)
      r.refill();
    const t4::ModeEntry e = modes[r.peek() & ((1u << t4::kModeBits) - 1)];
    if (e.kind == t4::ModeEntry::Invalid) {
      ok = false;
      break;
    }
    r.skip(e.length);
    while (ref[ib] <= a0)
      ++ib;
    ib += (ib & 1) != colour;
    if (e.kind == t4::ModeEntry::Vertical) {
      const int a1 = ref[ib] + e.delta;
      if (a1 < std::max(a0, 0) || a1 > width) {
        ok = false;
        break;
      }
      push(cur, n, a1, width);
      a0 = a1;
      colour ^= 1;
      ib -= ib > 0; // b1 of the new colour may be the element left of this one
    } else if (e.kind == t4::ModeEntry::Pass) {
      a0 = ref[ib + 1];
      ib += 2;
    } else {
      const int r1 = readRun(r, colour);
      const int a1 = std::max(a0, 0) + r1;
      const int r2 = r1 < 0 || a1 > width ? -1 : readRun(r, colour ^ 1);
      if (r2 < 0 || r2 > width - a1) {
        ok = false;
        break;
      }
      push(cur, n, a1, width);
      push(cur, n, a1 + r2, width);
      a0 = a1 + r2;
    }
  }
  in = r;
  count = n;
  return ok;
}

} // namespace

DecodedPage decodePage(const uint8_t* data, std::size_t size, FaxCoding coding, int width,
                       int maxRows) {
  return Decoder(data, size, coding, std::max(width, 0), maxRows).run();
}

} // namespace faximage
