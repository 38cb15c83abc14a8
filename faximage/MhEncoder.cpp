#include "faximage/MhEncoder.h"

#include "faximage/MhCodes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace faximage {

void MhBitWriter::putRun(int colour, int run) {
  const mh::LsbTables& t = mh::kLsbTables;
  // Runs beyond the largest make-up code are split, as T.4 allows.
  while (run > mh::kMaxRun) {
    const mh::LsbCode& m = t.makeUp[colour][mh::kMakeUpCount - 1];
    put(m.bits, m.length);
    run -= mh::kMaxRun;
  }
  if (run >= 64) {
    const mh::LsbCode& m = t.makeUp[colour][run / 64 - 1];
    put(m.bits, m.length);
    run %= 64;
  }
  const mh::LsbCode& term = t.terminating[colour][run];
  put(term.bits, term.length);
}

namespace {

// First position at or after pos (below end) whose pixel is not `black`;
// end when there is none. Whole 64-bit words of one colour are skipped.
int runEnd(const uint8_t* row, int pos, int end, bool black) {
  if (pos >= end)
    return end;
  const uint8_t flip = black ? 0xFF : 0x00;
  // The rest of the byte holding pos.
  const uint8_t first = uint8_t((row[pos >> 3] ^ flip) & (0xFF >> (pos & 7)));
  if (first)
    return std::min(end, (pos & ~7) + std::countl_zero(first));
  pos = (pos | 7) + 1;
  const uint64_t flipWord = black ? ~uint64_t(0) : 0;
  while (pos + 64 <= end) {
    uint64_t word;
    std::memcpy(&word, row + (pos >> 3), 8);
    word ^= flipWord;
    if (word) {
      if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
      return pos + std::countl_zero(word);
    }
    pos += 64;
  }
  for (; pos < end; pos += 8)
    if (const uint8_t b = uint8_t(row[pos >> 3] ^ flip))
      return std::min(end, pos + std::countl_zero(b));
  return end;
}

} // namespace

int rawPixels(const RowLayout& layout) {
  const int room = std::max(0, layout.width - std::clamp(layout.leftMargin, 0, layout.width));
  return layout.doubleWidth ? (room + 1) / 2 : room;
}

void encodeRowRuns(const uint8_t* raw, const RowLayout& layout, MhBitWriter& w) {
  const int width = layout.width;
  const int margin = std::clamp(layout.leftMargin, 0, width);
  const int scale = layout.doubleWidth ? 2 : 1;
  const int limit = rawPixels(layout);

  int pos = 0;   // raw pixel position
  int coded = 0; // pixels of the fax row coded so far
  bool black = false;
  while (pos < limit) {
    const int end = runEnd(raw, pos, limit, black);
    int run;
    if (!black) {
      // The margin joins the first white run; a white run that reaches the
      // end of the raw pixels takes the rest of the row, which is white too.
      run = end == limit ? width - coded
                         : std::min((pos == 0 ? margin : 0) + (end - pos) * scale, width - coded);
    } else {
      run = std::min((end - pos) * scale, width - coded);
    }
    w.putRun(black, run);
    coded += run;
    pos = end;
    black = !black;
  }
  // Only reached after a black run (or with no raw pixels at all).
  if (coded < width)
    w.putRun(0, width - coded);
}

std::size_t encodeRowRecord(const uint8_t* raw, const RowLayout& layout, uint8_t* out) {
  out[0] = 0x00;
  out[1] = 0x80;
  MhBitWriter w(out + 2);
  encodeRowRuns(raw, layout, w);
  const std::size_t bits = w.bitCount();
  w.flush();
  // Two more than the whole bytes: the byte holding the partial tail (or a
  // zero byte) and one more zero byte.
  const std::size_t length = 2 + bits / 8 + 2;
  out[length - 1] = 0;
  if (bits % 8 == 0)
    out[length - 2] = 0;
  return length;
}

std::size_t encodeBlankRowRecord(int width, uint8_t* out) {
  MhBitWriter w(out);
  w.putEol();
  w.putRun(0, width);
  const std::size_t bits = w.bitCount();
  w.flush();
  const std::size_t length = bits / 8 + 1;
  if (bits % 8 == 0)
    out[length - 1] = 0;
  return length;
}

} // namespace faximage
