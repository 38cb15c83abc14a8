// Error correction (T.30 Annex A) in a Class 2 modem: the modem keeps a page
// in its memory, so that it can send any frame of a block again, and hands
// received data to the DTE one confirmed block at a time.
//
// Sending, the page is taken whole from the DTE before it goes out (pages of
// the codings used here are far smaller than a modem's memory), and the
// engine builds its 256-frame blocks from it. Receiving, the frames of a
// block are kept by their numbers as they arrive, repeats filling the gaps a
// PPR asked for, and go to the DTE in order once the block is confirmed.

#include "sim/class2/T30Line.h"

#include <cstring>

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

namespace tolvane::sim {
namespace {

constexpr uint8_t kAddress = 0xFF;
constexpr uint8_t kControlNonFinal = 0x03;

} // namespace

void T30Line::sendWholePage(std::vector<uint8_t> data, bool more) {
  m_wholePage = std::move(data);
  m_wholePageReady = true;
  m_morePages = more;
  syncRowSource();
  if (m_held && m_heldFcf == T30_CFR) {
    // The engine built the first block of the document when it answered the
    // DIS, before the DTE had sent anything: build it again from the page.
    t4_tx_start_page(&txImage());
    rebuildEcmBlock();
  }
  // Held at the confirmation of the last page, the engine starts this page
  // (and reads it through the row source) once it hears that confirmation.
  release();
}

// Called by the engine as it starts a page: the whole page becomes its image.
void T30Line::loadWholePage() {
  if (!m_wholePageReady)
    return;
  appendImage(txImage(), m_wholePage.data(), m_wholePage.size());
  m_wholePage.clear();
  m_wholePageReady = false;
}

// The first block of the page, as the engine fills it at the start of each
// page: frames of octets_per_ecm_frame octets, the last one padded with
// zeros, none of them yet confirmed.
void T30Line::rebuildEcmBlock() {
  t30_state_t& s = t30();
  s.ppr_count = 0;
  s.ecm_progress = 0;
  std::memset(s.ecm_frame_map + 3, 0xFF, 32);
  const int size = s.octets_per_ecm_frame;
  for (int i = 0; i < 256; ++i) {
    s.ecm_len[i] = -1;
    uint8_t* frame = s.ecm_data[i];
    frame[0] = kAddress;
    frame[1] = kControlNonFinal;
    frame[2] = T4_FCD;
    frame[3] = static_cast<uint8_t>(i);
    int len = t4_tx_get_chunk(&s.t4.tx, frame + 4, size);
    if (len < size) {
      if (len > 0) {
        std::memset(frame + 4 + len, 0, static_cast<size_t>(size - len));
        s.ecm_len[i++] = static_cast<int16_t>(size + 4);
      }
      s.ecm_frames = i;
      s.ecm_at_page_end = 1;
      return;
    }
    s.ecm_len[i] = static_cast<int16_t>(size + 4);
  }
  s.ecm_frames = 256;
  s.ecm_at_page_end = (t4_tx_check_bit(&s.t4.tx) & 2) != 0;
}

// An FCD frame: address, control, FCD, frame number, data.
void T30Line::storeEcmFrame(const uint8_t* frame, int len) {
  if (m_ecmFrames.size() < 256)
    m_ecmFrames.resize(256);
  m_ecmFrames[frame[3]].assign(frame + 4, frame + len);
}

// The engine confirms a block only when it holds every frame of it; a
// confirmation repeated for a PPS the far end sent again finds none.
void T30Line::deliverEcmBlock() {
  std::vector<uint8_t> block;
  for (const std::vector<uint8_t>& frame : m_ecmFrames)
    block.insert(block.end(), frame.begin(), frame.end());
  m_ecmFrames.clear();
  if (!block.empty() && m_cb.pageData)
    m_cb.pageData(block.data(), block.size());
}

// After each received page: its rows as the engine decoded them, for the
// page status of pages that came in blocks.
void T30Line::notePageEnd() {
  if (m_config.calling || !t30().error_correcting_mode)
    return;
  t30_stats_t stats{};
  t30_get_transfer_statistics(&t30(), &stats);
  m_ecmRows = stats.length;
  m_ecmBadRows = stats.bad_rows;
}

} // namespace tolvane::sim
