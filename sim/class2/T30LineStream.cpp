// Pages go to the line as the DTE sends them, as a real Class 2 modem sends
// them: the engine starts a page after training or as soon as the far end
// confirms the previous one, and while the DTE's data has not come the modem
// sends zero fill in front of the next EOL.

#include "sim/class2/T30Line.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

namespace tolvane::sim {
namespace {

constexpr size_t kFillAhead = 64; // bytes queued ahead of the modem (35 ms at 14400 bit/s)

} // namespace

bool T30Line::appendImage(t4_tx_state_t& t4, const uint8_t* data, size_t len) {
  size_t need = static_cast<size_t>(t4.image_size) + len;
  if (need > static_cast<size_t>(t4.image_buffer_size)) {
    size_t size = need * 2 + 4096;
    auto* grown = static_cast<uint8_t*>(std::realloc(t4.image_buffer, size));
    if (!grown)
      return false;
    t4.image_buffer = grown;
    t4.image_buffer_size = static_cast<int>(size);
  }
  std::memcpy(t4.image_buffer + t4.image_size, data, len);
  t4.image_size += static_cast<int>(len);
  return true;
}

void T30Line::streamData(const uint8_t* data, size_t len) {
  m_streamData.insert(m_streamData.end(), data, data + len);
  m_fillPoints.feed(data, len);
  commitStream(m_fillPoints.latest());
}

// The DTE has sent all of the page: its last row may go out too, and fill
// after it is fill before the RTC still to come.
void T30Line::streamComplete() {
  m_streamComplete = true;
  commitStream(m_streamBase + m_streamData.size());
}

void T30Line::endStreamedPage(bool more) {
  m_morePages = more;
  m_streamEnding = true;
  syncRowSource();
  finishStream();
}

// Moves DTE data up to a fill point into the engine's page image.
void T30Line::commitStream(size_t upTo) {
  if (!m_streamActive || upTo <= m_streamCommitted)
    return;
  size_t from = m_streamCommitted - m_streamBase;
  size_t count = upTo - m_streamCommitted;
  appendImage(txImage(), m_streamData.data() + from, count);
  m_streamCommitted = upTo;
  m_dataEnd = txImage().image_size;
  m_streamData.erase(m_streamData.begin(),
                     m_streamData.begin() + static_cast<std::ptrdiff_t>(from + count));
  m_streamBase = m_streamCommitted;
}

// The page's data is complete: the rest and an RTC go to the engine, which
// ends the page when it has sent them.
void T30Line::finishStream() {
  if (!m_streamActive || !m_streamEnding)
    return;
  commitStream(m_streamBase + m_streamData.size());
  // Six EOLs, in MR each with the tag bit 1, then fill of ones.
  static const uint8_t kRtc[] = {0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0xFF};
  static const uint8_t kRtc2D[] = {0x00, 0x18, 0x00, 0x03, 0x60, 0x00,
                                   0x0C, 0x80, 0x01, 0xF0, 0xFF};
  if (m_twoDim)
    appendImage(txImage(), kRtc2D, sizeof kRtc2D);
  else
    appendImage(txImage(), kRtc, sizeof kRtc);
  m_streamActive = false;
  m_streamEnding = false;
}

// Called after the engine ran: a page it has just started from the row
// source is a streamed page and begins empty.
void T30Line::startStreamIfBegun() {
  if (!m_streamPageBegun)
    return;
  m_streamPageBegun = false;
  t4_tx_state_t& t4 = txImage();
  t4.image_size = 0;
  m_dataEnd = 0;
  t4.t4_t6_tx.bit_ptr = 0;
  t4.t4_t6_tx.bit_pos = 7;
  m_streamActive = true;
  commitStream(m_streamComplete ? m_streamBase + m_streamData.size() : m_fillPoints.latest());
  finishStream();
}

// Keeps the engine's page image ahead of the modem with fill while the DTE
// is behind.
void T30Line::pumpStream() {
  if (!m_streamActive)
    return;
  t4_tx_state_t& t4 = txImage();
  if (t4.image_size - t4.t4_t6_tx.bit_ptr >= static_cast<int>(kFillAhead))
    return;
  static const uint8_t kZeros[kFillAhead] = {};
  appendImage(t4, kZeros, sizeof kZeros);
}

bool T30Line::pageDataSent() {
  if (!m_streamData.empty())
    return false;
  return !m_streamActive || txImage().t4_t6_tx.bit_ptr >= m_dataEnd;
}

size_t T30Line::queuedBytes() {
  size_t queued = m_streamData.size();
  if (m_streamActive || m_streamEnding) {
    t4_tx_state_t& t4 = txImage();
    queued += static_cast<size_t>(std::max(0, t4.image_size - t4.t4_t6_tx.bit_ptr));
  }
  return queued;
}

void T30Line::beginStreamedPage() {
  ++m_pageIndex;
  m_streamData.clear();
  m_fillPoints = FillPoints();
  m_streamBase = m_streamCommitted = 0;
  m_streamEnding = false;
  m_streamComplete = false;
  m_morePages = true; // until the DTE says otherwise the call goes on
  syncRowSource();
}

} // namespace tolvane::sim
