#include "faximage/PageDecoder.h"

#include "faximage/ChangingElements.h"
#include "faximage/MhRunPairs.h"
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
        m_maxRows(maxRows), m_runs(t4::runTables()), m_pairs(mhRunPairs()),
        m_ref(changeListCapacity(width) + 1, -1), m_cur(changeListCapacity(width) + 1, -1) {
    std::fill_n(m_ref.begin() + 1, kEndMarks, m_width); // the row above the first is white
    m_bits.reserve(m_stride * std::size_t(std::clamp(maxRows, 0, 2400)));
  }

  DecodedPage run() {
    if (m_width > 0) {
      if (m_coding == FaxCoding::Mmr)
        decodeMmr();
      else
        decodeWithEols();
    }
    const int rows = m_rows;
    m_bits.resize(std::size_t(rows) * m_stride);
    return DecodedPage{PageBitmap(m_width, rows, std::move(m_bits)), m_badRows, m_ended};
  }

private:
  void decodeMmr();
  void decodeWithEols();
  bool decodeOneDim(T4BitReader& in, int& count);
  bool decodeTwoDim(T4BitReader& in, int& count);
  // The run at the next codes, its make-up codes and the terminating one;
  // `total` is that of make-up codes already read.
  [[gnu::always_inline]] int readRun(T4BitReader& in, int colour, int total = 0) const;
  bool seekEol(T4BitReader& in, bool& junk);
  uint8_t* newRow();
  void goodRow(int count);
  void badRow();

  // The lists start at element 1: element 0 (-1) is left of every position.
  int* ref() { return m_ref.data() + 1; }
  int* cur() { return m_cur.data() + 1; }

  // Adds a changing element at x; one at the same place as the last cancels
  // it, which is what a zero-length run means. Elements at the width (the
  // end of the row) are taken off by endRow.
  static void push(int* cur, int& n, int x) {
    const bool cancels = cur[n - 1] == x;
    cur[n] = x;
    n += cancels ? -1 : 1;
  }
  // push() for a run of `run` pixels ending at x: only an empty run can
  // cancel, so the others append without reading back the element before,
  // which would make each run wait for the store of the one before.
  static void append(int* cur, int& n, int x, unsigned run) {
    if (run == 0) [[unlikely]]
      push(cur, n, x);
    else
      cur[n++] = x;
  }
  static int endRow(const int* cur, int n, int width) {
    while (n > 0 && cur[n - 1] >= width)
      --n;
    return n;
  }

  T4BitReader m_in;
  FaxCoding m_coding;
  int m_width;
  std::size_t m_stride;
  int m_maxRows;
  const t4::RunTables& m_runs;
  const uint32_t* m_pairs; // white and black terminating codes in one look-up
  std::vector<int> m_ref;  // changing elements of the row above, end marks after
  std::vector<int> m_cur;
  std::vector<uint8_t> m_bits;
  int m_rows = 0;
  int m_badRows = 0;
  bool m_ended = false;
};

// The next row's bytes, to be written in full. The bitmap grows 64 rows at
// a time and is cut to the rows decoded at the end, so that most rows cost
// only a pointer sum.
uint8_t* Decoder::newRow() {
  const std::size_t at = std::size_t(m_rows) * m_stride;
  if (at + m_stride > m_bits.size()) [[unlikely]]
    m_bits.resize(at + 64 * m_stride);
  return m_bits.data() + at;
}

void Decoder::goodRow(int count) {
  std::fill_n(cur() + count, kEndMarks, m_width);
  fillRow(cur(), count, m_width, newRow());
  std::swap(m_ref, m_cur);
  ++m_rows;
}

void Decoder::badRow() {
  uint8_t* row = newRow();
  if (m_rows > 0)
    std::memcpy(row, row - m_stride, m_stride);
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

inline int Decoder::readRun(T4BitReader& in, int colour, int total) const {
  const uint16_t* table = m_runs.at[colour];
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

// Runs of alternating colours, white first, until the row is full. A white
// and a black terminating code are taken with one look-up where both fit;
// each code is consumed before its run is checked, as when read one at a
// time, so that a bad row leaves the reader where the EOL search expects it.
bool Decoder::decodeOneDim(T4BitReader& r, int& count) {
  const uint32_t* const pairs = m_pairs;
  int* list = cur();
  const int width = m_width;
  int n = 0;
  int at = 0;
  int colour = 0;
  bool ok = true;
  while (at < width) {
    if (r.available() < t4::kRunBits)
      r.refill();
    const uint32_t p = colour == 0 ? pairs[r.peek() & ((1u << kRunPairBits) - 1)] : 0;
    int run;
    if (p == 0) {
      run = readRun(r, colour);
    } else if (const MhRunPair pair(p); pair.single) {
      r.skip(pair.whiteBits);
      if (pair.white < 64)
        run = int(pair.white);
      else // a make-up code: the rest of the run follows
        run = int(pair.white) > width ? -1 : readRun(r, 0, int(pair.white));
    } else {
      if (int(pair.white) > width - at) [[unlikely]] {
        r.skip(pair.whiteBits);
        ok = false;
        break;
      }
      at += int(pair.white);
      append(list, n, at, pair.white);
      if (at >= width) { // the row ends with the white run: the black code is not its
        r.skip(pair.whiteBits);
        break;
      }
      r.skip(pair.bothBits);
      if (int(pair.black) > width - at) [[unlikely]] {
        ok = false;
        break;
      }
      at += int(pair.black);
      append(list, n, at, pair.black);
      continue;
    }
    if (run < 0 || run > width - at) [[unlikely]] {
      ok = false;
      break;
    }
    at += run;
    append(list, n, at, unsigned(run));
    colour ^= 1;
  }
  if (ok)
    count = endRow(list, n, width);
  return ok;
}

// The encoder's walk in reverse (T.4 4.2.1.3.3): each mode code says where a1
// is relative to b1, or gives the runs to a1 and a2, or passes b2. b1 is
// searched two elements at a time, which keeps its colour.
bool Decoder::decodeTwoDim(T4BitReader& in, int& count) {
  T4BitReader r = in; // a local copy stays in registers
  const t4::ModeEntry* modes = t4::kModeTable.at;
  const int* refs = ref();
  int* list = cur();
  const int width = m_width;
  int n = 0;
  int a0 = -1;
  int colour = 0; // colour of a0
  int ib = 0;     // index of b1 in refs, its parity the colour opposite to a0's
  bool ok = true;
  while (a0 < width) {
    if (r.available() < 32)
      r.refill();
    const t4::ModeEntry& e = modes[r.peek() & ((1u << t4::kModeBits) - 1)];
    if (e.kind == t4::ModeEntry::Invalid) [[unlikely]] {
      ok = false;
      break;
    }
    r.skip(e.length);
    while (refs[ib] <= a0)
      ib += 2;
    if (e.kind == t4::ModeEntry::Vertical) {
      const int a1 = refs[ib] + e.delta;
      if (a1 < std::max(a0, 0) || a1 > width) [[unlikely]] {
        ok = false;
        break;
      }
      push(list, n, a1);
      a0 = a1;
      colour ^= 1;
      ib += ib > 0 ? -1 : 1; // b1 of the new colour may be the element left of this one
    } else if (e.kind == t4::ModeEntry::Pass) {
      a0 = refs[ib + 1];
      ib += 2;
    } else {
      const int r1 = readRun(r, colour);
      const int a1 = std::max(a0, 0) + r1;
      const int r2 = r1 < 0 || a1 > width ? -1 : readRun(r, colour ^ 1);
      if (r2 < 0 || r2 > width - a1) [[unlikely]] {
        ok = false;
        break;
      }
      push(list, n, a1);
      push(list, n, a1 + r2);
      a0 = a1 + r2;
    }
  }
  in = r;
  count = endRow(list, n, width);
  return ok;
}

} // namespace

DecodedPage decodePage(const uint8_t* data, std::size_t size, FaxCoding coding, int width,
                       int maxRows) {
  return Decoder(data, size, coding, std::max(width, 0), maxRows).run();
}

} // namespace faximage
