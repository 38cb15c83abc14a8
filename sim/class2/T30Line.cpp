#include "sim/class2/T30Line.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>
#include <tiffio.h>

namespace tolvane::sim {
namespace {

int modemsFor(int br) {
  if (br >= 4)
    return T30_SUPPORT_V27TER | T30_SUPPORT_V29 | T30_SUPPORT_V17;
  if (br >= 2)
    return T30_SUPPORT_V27TER | T30_SUPPORT_V29;
  return T30_SUPPORT_V27TER;
}

uint8_t fcfOf(const uint8_t* frame, int len) {
  return len >= 3 ? static_cast<uint8_t>(frame[2] & 0xFE) : 0;
}

} // namespace

struct T30Line::Engine {
  fax_state_t* fax = nullptr;
  t30_state_t* t30 = nullptr;
  hdlc_rx_state_t* hdlc = nullptr;
  fsk_rx_state_t* fsk = nullptr;

  ~Engine() {
    if (fsk)
      fsk_rx_free(fsk);
    if (hdlc)
      hdlc_rx_free(hdlc);
    if (fax)
      fax_free(fax);
  }

  // Every page comes from the DTE: the engine starts it empty and it is
  // streamed in, or with error correction it is there whole.
  static int readRow(void* user, uint8_t[], size_t) {
    auto* self = static_cast<T30Line*>(user);
    if (self->m_ecm)
      self->loadWholePage();
    else
      self->m_streamPageBegun = true;
    return 0;
  }

  static void sniffed(void* user, const uint8_t* frame, int len, int ok) {
    auto* self = static_cast<T30Line*>(user);
    if (!ok || len < 3)
      return;
    bool dis = fcfOf(frame, len) == T30_DIS;
    if (self->m_held) {
      self->m_disInBlock = self->m_disInBlock || dis;
      return;
    }
    if (self->m_cb.holdBefore && self->m_cb.holdBefore(frame, len)) {
      self->m_holdRequested = true;
      self->m_holdOnDis = dis;
      self->m_heldFcf = fcfOf(frame, len);
    }
  }

  static void realTime(t30_state_t*, void* user, int incoming, const uint8_t* msg, int len) {
    auto* self = static_cast<T30Line*>(user);
    // After CFR or MCF the next image carrier brings a page; after FTT it
    // brings another training check.
    // With error correction the page comes in frames, not as a bit stream.
    uint8_t fcf = fcfOf(msg, len);
    bool ecm = self->m_engine->t30->error_correcting_mode != 0;
    if (!incoming && !self->m_config.calling)
      self->m_expectPage =
          !ecm && (fcf == T30_CFR || fcf == T30_MCF || (self->m_expectPage && fcf != T30_FTT));
    if (incoming && len >= 4 && msg[2] == T4_FCD && !self->m_config.calling) {
      self->storeEcmFrame(msg, len);
      return;
    }
    // A block is handed on once it is confirmed, before its confirmation.
    if (!incoming && fcf == T30_MCF && ecm)
      self->deliverEcmBlock();
    if (self->m_cb.frame)
      self->m_cb.frame(incoming != 0, msg, len);
  }

  static int phaseD(t30_state_t*, void* user, int) {
    static_cast<T30Line*>(user)->notePageEnd();
    return 0;
  }

  static void phaseE(t30_state_t*, void* user, int completion) {
    auto* self = static_cast<T30Line*>(user);
    self->m_finished = true;
    if (self->m_cb.end)
      self->m_cb.end(completion);
  }
};

T30Line::T30Line(Config config, Callbacks callbacks)
    : m_config(std::move(config)), m_cb(std::move(callbacks)),
      m_engine(std::make_unique<Engine>()) {
  Engine& e = *m_engine;
  e.fax = fax_init(nullptr, m_config.calling ? 1 : 0);
  e.t30 = fax_get_t30_state(e.fax);
  if (std::getenv("TOLVANE_SIM_TRACE")) {
    span_log_set_level(t30_get_logging_state(e.t30),
                       SPAN_LOG_SHOW_SEVERITY | SPAN_LOG_SHOW_PROTOCOL | SPAN_LOG_FLOW);
    span_log_set_tag(t30_get_logging_state(e.t30), m_config.calling ? "modem-tx" : "modem-rx");
  }
  fax_set_transmit_on_idle(e.fax, 1);
  t30_set_tx_ident(e.t30, m_config.localId.c_str());
  t30_set_ecm_capability(e.t30, 0);
  t30_set_supported_compressions(e.t30, T30_SUPPORT_T4_1D_COMPRESSION);
  t30_set_supported_modems(e.t30, modemsFor(m_config.maxBitRate));
  t30_set_supported_resolutions(e.t30,
                                T30_SUPPORT_STANDARD_RESOLUTION | T30_SUPPORT_FINE_RESOLUTION);
  t30_set_supported_image_sizes(e.t30, T30_SUPPORT_215MM_WIDTH | T30_SUPPORT_255MM_WIDTH |
                                           T30_SUPPORT_303MM_WIDTH | T30_SUPPORT_UNLIMITED_LENGTH |
                                           T30_SUPPORT_A4_LENGTH | T30_SUPPORT_B4_LENGTH);
  t30_set_real_time_frame_handler(e.t30, Engine::realTime, this);
  t30_set_phase_e_handler(e.t30, Engine::phaseE, this);
  t30_set_phase_d_handler(e.t30, Engine::phaseD, this);
  if (!m_config.calling)
    t30_set_rx_file(e.t30, m_config.tempFile.c_str(), -1);
  e.hdlc = hdlc_rx_init(nullptr, 0, 0, 5, Engine::sniffed, this);
  e.fsk = fsk_rx_init(nullptr, &preset_fsk_specs[FSK_V21CH2], FSK_FRAME_MODE_SYNC,
                      reinterpret_cast<put_bit_func_t>(hdlc_rx_put_bit), e.hdlc);
}

t4_tx_state_t& T30Line::txImage() {
  return m_engine->t30->t4.tx;
}
t30_state_t& T30Line::t30() {
  return *m_engine->t30;
}
fax_state_t& T30Line::faxState() {
  return *m_engine->fax;
}

T30Line::~T30Line() {
  m_engine.reset();
  if (!m_config.tempFile.empty())
    std::remove(m_config.tempFile.c_str());
}

int T30Line::tx(int16_t* amp, int max) {
  if (m_held || m_finished)
    return 0;
  pumpStream();
  return fax_tx(m_engine->fax, amp, max);
}

void T30Line::rx(const int16_t* amp, int len) {
  if (m_finished || len <= 0)
    return;
  std::vector<int16_t> block(amp, amp + len);
  if (m_held) {
    keepWhileHeld(block);
    return;
  }
  m_holdRequested = false;
  fsk_rx(m_engine->fsk, block.data(), len);
  if (m_holdRequested) {
    m_held = true;
    m_heldAudio = std::move(m_pending);
    m_heldAudio.insert(m_heldAudio.end(), block.begin(), block.end());
    m_heldFrame = m_heldAudio;
    m_samplesSinceDis = 0;
    m_disRepeated = false;
    m_releaseWanted = false;
    m_pending.clear();
    return;
  }
  if (!m_pending.empty())
    feed(m_pending.data(), static_cast<int>(m_pending.size()));
  m_pending = std::move(block);
}

// While the engine is held it hears nothing, but the line is still
// listened to: a far end waiting for a DCS repeats its DIS every few seconds,
// and a held engine should answer a fresh one rather than a stale one.
void T30Line::keepWhileHeld(const std::vector<int16_t>& block) {
  m_disInBlock = false;
  std::vector<int16_t> copy = block;
  fsk_rx(m_engine->fsk, copy.data(), static_cast<int>(copy.size()));
  m_heldAudio.insert(m_heldAudio.end(), block.begin(), block.end());
  if (m_heldAudio.size() > kMaxHeldSamples) {
    size_t drop = m_heldAudio.size() - kMaxHeldSamples;
    m_heldAudio.erase(m_heldAudio.begin(), m_heldAudio.begin() + static_cast<std::ptrdiff_t>(drop));
  }
  m_samplesSinceDis += static_cast<int64_t>(block.size());
  if (m_disInBlock) {
    m_samplesSinceDis = 0;
    m_disRepeated = true;
    if (m_releaseWanted)
      release();
  }
}

void T30Line::feed(const int16_t* amp, int len) {
  std::vector<int16_t> copy(amp, amp + len); // fax_rx takes a mutable buffer
  installTaps();
  fax_rx(m_engine->fax, copy.data(), len);
  deliverTapped();
  syncRowSource();
  startStreamIfBegun();
}

// The engine re-initialises its page source when it starts a document, so
// the row source is put back after that, and told whether pages follow.
void T30Line::syncRowSource() {
  if (!m_config.calling)
    return;
  t4_tx_state_t& t4 = m_engine->t30->t4.tx;
  if (t4.tiff.file == nullptr)
    return;
  if (t4.t4_t6_tx.row_read_handler != Engine::readRow) {
    // The engine has just opened the document and may have built its first
    // page from the format file already.
    t4_tx_set_row_read_handler(&t4, Engine::readRow, this);
    m_streamPageBegun = !m_ecm;
  }
  // The engine may not have started the page yet: count pages ourselves.
  t4.tiff.stop_page = m_morePages ? INT_MAX : m_pageIndex;
}

void T30Line::setCoding(int df, bool ecm) {
  m_twoDim = df == 1 && !ecm; // the streamed page's RTC
  m_ecm = ecm;
  int codings = T30_SUPPORT_T4_1D_COMPRESSION;
  if (df >= 1)
    codings |= T30_SUPPORT_T4_2D_COMPRESSION;
  if (df == 3)
    codings |= T30_SUPPORT_T6_COMPRESSION;
  t30_set_supported_compressions(m_engine->t30, codings);
  t30_set_ecm_capability(m_engine->t30, ecm ? 1 : 0);
}

bool T30Line::startDocument(int width, bool fine) {
  if (!writeFormatFile(width, fine))
    return false;
  t30_set_tx_file(m_engine->t30, m_config.tempFile.c_str(), -1, -1);
  release();
  return true;
}

void T30Line::release() {
  if (!m_held)
    return;
  // A DIS heard too long ago: its sender has given up on it and is about to
  // repeat it. Answer the repetition instead.
  if (m_holdOnDis && m_samplesSinceDis > kFreshDisSamples) {
    m_releaseWanted = true;
    return;
  }
  m_held = false;
  m_releaseWanted = false;
  std::vector<int16_t> audio = std::move(m_heldAudio);
  m_heldAudio.clear();
  // After a post-page response only the frame itself counts: the silence
  // after it is stale. After a DIS the whole wait is replayed, or only the
  // latest burst when the far end has repeated its DIS meanwhile.
  if (!m_holdOnDis)
    audio = std::move(m_heldFrame);
  size_t from = 0;
  if (m_holdOnDis && m_disRepeated && audio.size() > kRepeatedDisSamples)
    from = audio.size() - kRepeatedDisSamples;
  m_heldFrame.clear();
  if (audio.size() > from)
    feed(audio.data() + from, static_cast<int>(audio.size() - from));
}

void T30Line::lastPageRows(int& rows, int& bad) const {
  t30_stats_t stats{};
  t30_get_transfer_statistics(m_engine->t30, &stats);
  rows = std::max(0, m_tapEols - 6);
  bad = stats.bad_rows;
  if (m_ecmRows >= 0) {
    rows = m_ecmRows;
    bad = m_ecmBadRows;
  }
}

void T30Line::terminate() {
  m_holdOnDis = false;
  release();
  if (!m_finished)
    t30_terminate(m_engine->t30);
}

// The engine learns the page format (width, resolution) from an image file
// when a document starts: one white row of the right size.
bool T30Line::writeFormatFile(int width, bool fine) {
  TIFF* tif = TIFFOpen(m_config.tempFile.c_str(), "w");
  if (!tif)
    return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0f);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, fine ? 196.0f : 98.0f);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
  TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tif, TIFFTAG_PAGENUMBER, 0, 1);
  std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8), 0);
  bool ok = TIFFWriteScanline(tif, row.data(), 0, 0) >= 0 && TIFFWriteDirectory(tif);
  TIFFClose(tif);
  return ok;
}

} // namespace tolvane::sim
