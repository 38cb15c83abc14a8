#include "faximage/MhEncoder.h"

#include "faximage/ChangingElements.h"
#include "faximage/MhCodes.h"

#include <algorithm>
#include <vector>

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

int rawPixels(const RowLayout& layout) {
  const int room = std::max(0, layout.width - std::clamp(layout.leftMargin, 0, layout.width));
  return layout.doubleWidth ? (room + 1) / 2 : room;
}

void encodeChangesAsRuns(const int* changes, int count, int width, MhBitWriter& w) {
  int at = 0;
  for (int i = 0; i < count; ++i) {
    w.putRun(i & 1, changes[i] - at);
    at = changes[i];
  }
  w.putRun(count & 1, width - at);
}

// The raw row's changing elements moved to where the layout puts its pixels.
void encodeRowRuns(const uint8_t* raw, const RowLayout& layout, MhBitWriter& w) {
  const int width = layout.width;
  if (width <= 0)
    return;
  const int margin = std::clamp(layout.leftMargin, 0, width);
  const int scale = layout.doubleWidth ? 2 : 1;
  const int limit = rawPixels(layout);
  thread_local std::vector<int> changes;
  changes.resize(changeListCapacity(limit));
  int count = findChanges(raw, limit, changes.data());
  for (int i = 0; i < count; ++i)
    changes[i] = margin + changes[i] * scale;
  // Black up to the last raw pixel turns white after it, unless that is the row's end.
  if (count & 1 && margin + limit * scale < width)
    changes[count++] = margin + limit * scale;
  encodeChangesAsRuns(changes.data(), count, width, w);
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
