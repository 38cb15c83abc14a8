#include "sim/RemoteFax.h"

#include <cstdlib>
#include <cstring>

namespace tolvane::sim {
namespace {

int supportedCompressions(const std::string& coding) {
  int set = T30_SUPPORT_T4_1D_COMPRESSION;
  if (coding == "mr" || coding == "mmr")
    set |= T30_SUPPORT_T4_2D_COMPRESSION;
  if (coding == "mmr")
    set |= T30_SUPPORT_T6_COMPRESSION;
  return set;
}

int supportedModems(int maxRate) {
  if (maxRate >= 14400)
    return T30_SUPPORT_V27TER | T30_SUPPORT_V29 | T30_SUPPORT_V17;
  if (maxRate >= 9600)
    return T30_SUPPORT_V27TER | T30_SUPPORT_V29;
  return T30_SUPPORT_V27TER;
}

const char* frameName(uint8_t fcf) {
  switch (fcf & 0xFE) {
  case T30_DIS:
    return "DIS";
  case T30_DCS:
    return "DCS";
  case T30_CFR:
    return "CFR";
  case T30_MPS:
    return "MPS";
  case T30_EOP:
    return "EOP";
  default:
    return "";
  }
}

} // namespace

RemoteFax::RemoteFax(const RemoteFaxConfig& config, bool callingParty, std::string rxPath,
                     std::string label, EventLog log)
    : m_config(config), m_label(std::move(label)), m_rxPath(std::move(rxPath)),
      m_log(std::move(log)) {
  m_fax = fax_init(nullptr, callingParty);
  m_t30 = fax_get_t30_state(m_fax);
  if (std::getenv("TOLVANE_SIM_TRACE")) {
    span_log_set_level(t30_get_logging_state(m_t30),
                       SPAN_LOG_SHOW_SEVERITY | SPAN_LOG_SHOW_PROTOCOL | SPAN_LOG_FLOW);
    span_log_set_tag(t30_get_logging_state(m_t30), m_label.c_str());
  }
  // T.30 station IDs are at most 20 characters; longer ones are cut there.
  t30_set_tx_ident(m_t30, config.ident.substr(0, 20).c_str());
  t30_set_ecm_capability(m_t30, config.ecm);
  t30_set_supported_compressions(m_t30, supportedCompressions(config.coding));
  t30_set_supported_modems(m_t30, supportedModems(config.maxRate));
  t30_set_supported_resolutions(m_t30,
                                T30_SUPPORT_STANDARD_RESOLUTION | T30_SUPPORT_FINE_RESOLUTION |
                                    T30_SUPPORT_SUPERFINE_RESOLUTION | T30_SUPPORT_R8_RESOLUTION);
  if (callingParty)
    t30_set_tx_file(m_t30, config.txFile.c_str(), -1, -1);
  else
    t30_set_rx_file(m_t30, m_rxPath.c_str(), -1);
  if (config.bitErrors > 0)
    m_noise = std::make_unique<LineNoise>(config.bitErrors, config.seed);
  t30_set_phase_e_handler(m_t30, &RemoteFax::phaseE, this);
  t30_set_real_time_frame_handler(m_t30, &RemoteFax::frameSeen, this);
  m_log(m_label + ": " +
        (callingParty ? "calling, sending " + config.txFile
                      : "answered, receiving into " + m_rxPath));
}

RemoteFax::~RemoteFax() {
  if (!m_reported)
    t30_terminate(m_t30); // closes the TIFF file of an unfinished call
  fax_free(m_fax);
}

void RemoteFax::phaseE(t30_state_t* t30, void* user, int result) {
  auto* self = static_cast<RemoteFax*>(user);
  t30_stats_t stats;
  t30_get_transfer_statistics(t30, &stats);
  const char* ident = t30_get_rx_ident(t30);
  self->m_log(self->m_label + ": call ended: " + t30_completion_code_to_str(result) + " (" +
              std::to_string(result) + "), pages " +
              std::to_string(stats.pages_tx + stats.pages_rx) + ", rate " +
              std::to_string(stats.bit_rate) + ", far ident '" + (ident ? ident : "") +
              "', coding " + t4_encoding_to_str(stats.encoding) + ", ecm " +
              std::to_string(stats.error_correcting_mode) + ", bad rows " +
              std::to_string(stats.bad_rows) + ", pprs " + std::to_string(self->m_pprs) +
              ", ctcs " + std::to_string(self->m_ctcs) + ", eors " + std::to_string(self->m_eors) +
              (self->m_noise ? ", bits inverted " + std::to_string(self->m_noise->BitsInverted())
                             : std::string()));
  self->m_reported = true;
  if (self->m_hangupIn < 0)
    self->m_hangupIn = secondsToSamples(0.5);
}

void RemoteFax::judgePage() {
  if (m_t30->t4.rx.rx == 0)
    return; // this machine is the sender
  int page = ++m_pagesSeen;
  if (m_config.rtnAlways || m_config.rtnPages.count(page)) {
    // The page is judged right after the post-page command arrives, from
    // the decoder's count of bad rows; marking every row bad makes this
    // machine answer RTN.
    m_t30->t4.rx.t4_t6_rx.bad_rows = m_t30->t4.rx.image_length + 1000;
    m_log(m_label + ": rejecting page reception " + std::to_string(page) + " (RTN)");
  }
}

// Called for every frame as it arrives or leaves, before T.30 acts on it.
void RemoteFax::frameSeen(t30_state_t*, void* user, int incoming, const uint8_t* msg, int len) {
  if (len >= 3)
    static_cast<RemoteFax*>(user)->onFrame(incoming != 0, msg[2]);
}

void RemoteFax::onFrame(bool incoming, uint8_t fcf) {
  std::string name = frameName(fcf);
  uint8_t kind = fcf & 0xFE;
  if (incoming && (kind == T30_MPS || kind == T30_EOP || kind == T30_EOM))
    judgePage();
  if (incoming && !name.empty() && name == m_config.dcnAfter && !m_dcn)
    m_dcnArmed = true;
  if (!incoming && m_dcnArmed && !m_dcn) {
    // The answer to the chosen frame is about to go out: send DCN instead.
    m_dcn = std::make_unique<DcnBurst>();
    m_log(m_label + ": answering " + m_config.dcnAfter + " with DCN");
  }
  if (incoming && name == "DCS" && !m_config.fttRates.empty())
    m_spoilTraining = true; // rate known once T.30 has taken the DCS in
  if (!incoming && (name == "CFR" || (fcf & 0xFE) == T30_FTT))
    m_spoilTraining = false;
  if (kind == T30_PPR)
    ++m_pprs;
  if (kind == T30_CTC)
    ++m_ctcs;
  if (kind == T30_EOR)
    ++m_eors;
  if (m_noise) {
    // Page data (and ECM frames) follow our CFR, MCF, PPR and CTR; a
    // training check follows the sender's DCS.
    if (!incoming && (kind == T30_CFR || kind == T30_MCF || kind == T30_PPR || kind == T30_CTR))
      m_noise->SetActive(true);
    if (incoming && kind == T30_DCS)
      m_noise->SetActive(false);
  }
  bool pageStarts = name == "CFR"; // the page follows CFR either way
  if (pageStarts && m_config.dropAfter >= 0 && m_dropIn < 0 && !m_dropped)
    m_dropIn = secondsToSamples(m_config.dropAfter);
}

void RemoteFax::countDown(int samples) {
  if (m_dropIn >= 0) {
    m_dropIn -= samples;
    if (m_dropIn < 0) {
      m_dropped = true;
      m_log(m_label + ": dropping the line in mid-page");
      m_onHook = true;
    }
  }
  if (m_hangupIn >= 0) {
    m_hangupIn -= samples;
    if (m_hangupIn < 0)
      m_onHook = true;
  }
  if (m_dcn && m_dcn->done() && m_hangupIn < 0)
    m_hangupIn = secondsToSamples(0.2);
}

int RemoteFax::lineTx(int16_t* amp, int maxSamples) {
  if (m_onHook)
    return 0;
  if (m_dcn) {
    int16_t discard[kBlockSamples];
    fax_tx(m_fax, discard, std::min(maxSamples, kBlockSamples)); // keep its clock running
    return m_dcn->tx(amp, maxSamples);
  }
  return fax_tx(m_fax, amp, maxSamples);
}

void RemoteFax::lineRx(const int16_t* amp, int samples) {
  if (m_onHook)
    return;
  if (m_spoilTraining) {
    t30_stats_t stats;
    t30_get_transfer_statistics(m_t30, &stats);
    if (m_config.fttRates.count(stats.bit_rate)) {
      // The training check passes on a run of zeros lasting most of the
      // 1.5 s TCF; keeping the run short makes this machine answer FTT.
      m_t30->tcf_current_zeros = 0;
      m_t30->tcf_most_zeros = 0;
    }
  }
  if (m_noise)
    m_noise->Attach(m_fax->modems);
  fax_rx(m_fax, const_cast<int16_t*>(amp), samples);
  countDown(samples);
}

void RemoteFax::onFarEndHangup() {
  if (!m_reported) {
    m_log(m_label + ": far end hung up");
    t30_terminate(m_t30);
    m_reported = true;
  }
  m_onHook = true;
}

} // namespace tolvane::sim
