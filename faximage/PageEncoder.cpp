#include "faximage/PageEncoder.h"

#include "faximage/ChangingElements.h"
#include "faximage/T4Codes.h"

#include <algorithm>

namespace faximage {

namespace {

constexpr int kEndMarks = 4;

// More than a row can take: at most seven bits for each changing element
// (the longest vertical code, more than a horizontal code's share), four for
// each pass code (at most one per two pixels), make-up codes, EOL and fill.
std::size_t rowBound(int width, std::size_t minRowBits) {
  return std::size_t(width) * 2 + 64 + minRowBits / 8;
}

} // namespace

PageEncoder::PageEncoder(int width, const CodingOptions& options)
    : m_width(std::max(width, 1)), m_options(options),
      m_out(std::max<std::size_t>(1 << 16, 4 * rowBound(m_width, options.minRowBits))),
      m_writer(m_out.data()), m_ref(changeListCapacity(m_width)),
      m_cur(changeListCapacity(m_width)) {
  m_options.k = std::max(m_options.k, 1);
  markEnd(m_ref, 0); // the row above the first is white
}

void PageEncoder::markEnd(std::vector<int>& list, int count) {
  std::fill_n(list.begin() + count, kEndMarks, m_width);
}

void PageEncoder::makeRoom() {
  const std::size_t used = m_writer.bitCount() / 8;
  const std::size_t need = used + rowBound(m_width, m_options.minRowBits);
  if (need <= m_out.size())
    return;
  m_out.resize(std::max(need, m_out.size() * 2));
  m_writer.rebase(m_out.data());
}

void PageEncoder::encodeRow(const uint8_t* row) {
  makeRoom();
  const int count = findChanges(row, m_width, m_cur.data());
  markEnd(m_cur, count);
  if (m_options.coding == FaxCoding::Mmr) {
    encodeTwoDim(m_ref.data(), m_cur.data());
  } else {
    const std::size_t start = m_writer.bitCount();
    const bool oneDim = m_options.coding == FaxCoding::Mh || m_rows % m_options.k == 0;
    if (m_options.coding == FaxCoding::Mh)
      m_writer.putEol();
    else if (oneDim)
      m_writer.put(t4::kEolOneDim.bits, t4::kEolOneDim.length);
    else
      m_writer.put(t4::kEolTwoDim.bits, t4::kEolTwoDim.length);
    if (oneDim)
      encodeChangesAsRuns(m_cur.data(), count, m_width, m_writer);
    else
      encodeTwoDim(m_ref.data(), m_cur.data());
    for (std::size_t bits = m_writer.bitCount() - start; bits < m_options.minRowBits;) {
      const unsigned fill = unsigned(std::min<std::size_t>(m_options.minRowBits - bits, 24));
      m_writer.put(0, fill);
      bits += fill;
    }
  }
  std::swap(m_ref, m_cur);
  ++m_rows;
}

// T.4 4.2.1.3.3: a0 is the last coded position (-1, left of the row, at the
// start), a1 and a2 the next changing elements of this row, b1 the first
// changing element of the row above right of a0 and of the colour opposite to
// a0's, b2 the one after b1. Lists alternate colours (even indices start
// black), so the colour of an element is the parity of its index.
void PageEncoder::encodeTwoDim(const int* ref, const int* cur) {
  const int width = m_width;
  int a0 = -1;
  int colour = 0; // colour of a0: 0 white, 1 black
  int ia = 0;     // index of a1 in cur
  int ib = 0;     // index of b1 in ref, its parity the colour opposite to a0's
  while (a0 < width) {
    while (ref[ib] <= a0) // two at a time: b1's colour stays opposite to a0's
      ib += 2;
    const int a1 = cur[ia];
    const int b1 = ref[ib];
    const int b2 = ref[ib + 1];
    if (b2 < a1) {
      m_writer.put(t4::kPass.bits, t4::kPass.length);
      a0 = b2;
      ib += 2;
    } else if (const int d = a1 - b1; d >= -3 && d <= 3) {
      const mh::LsbCode& v = t4::kVertical[d + 3];
      m_writer.put(v.bits, v.length);
      a0 = a1;
      colour ^= 1;
      ++ia;
      ib += ib > 0 ? -1 : 1; // b1 of the new colour may be the element left of this one
    } else {
      const int a2 = cur[ia + 1];
      m_writer.put(t4::kHorizontal.bits, t4::kHorizontal.length);
      m_writer.putRun(colour, a1 - std::max(a0, 0));
      m_writer.putRun(colour ^ 1, a2 - a1);
      a0 = a2;
      ia += 2;
    }
  }
}

std::vector<uint8_t> PageEncoder::finish() {
  makeRoom();
  if (m_options.coding == FaxCoding::Mmr) {
    m_writer.putEol(); // EOFB
    m_writer.putEol();
  } else {
    for (int i = 0; i < 6; ++i) { // RTC
      if (m_options.coding == FaxCoding::Mh)
        m_writer.putEol();
      else
        m_writer.put(t4::kEolOneDim.bits, t4::kEolOneDim.length);
    }
  }
  const std::size_t bytes = (m_writer.bitCount() + 7) / 8;
  m_writer.flush();
  m_out.resize(bytes);
  return std::move(m_out);
}

std::vector<uint8_t> encodePage(const PageBitmap& page, const CodingOptions& options) {
  PageEncoder encoder(page.width(), options);
  for (int y = 0; y < page.height() && !page.empty(); ++y)
    encoder.encodeRow(page.row(y));
  return encoder.finish();
}

} // namespace faximage
