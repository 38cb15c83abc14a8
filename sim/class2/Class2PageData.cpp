// Page data of a call: the DTE's pages going to the line, paced like a
// real modem, and received pages going to the DTE with their reports.

#include "sim/class2/Class2ModemImpl.h"
#include "sim/class2/T30Frames.h"

namespace tolvane::sim {
namespace {

uint8_t reverseBits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (b & (1 << i))
      r |= static_cast<uint8_t>(0x80 >> i);
  return r;
}

int postPageCode(uint8_t ppm) {
  if (ppm == kFcfEop || ppm == kFcfPriEop)
    return 2;
  return ppm == kFcfEom || ppm == kFcfPriEom ? 1 : 0;
}

} // namespace

// ---- sending ------------------------------------------------------------

size_t Class2Modem::Impl::dteData(const uint8_t* data, size_t len) {
  if (m_state == State::RecvWaitDc2 || m_state == State::RecvData) {
    feedReceiveControls(data, len);
    return len;
  }
  if (m_state != State::SendData || !m_line)
    return len;
  size_t used = m_dle.feed(data, len, m_pageData);
  if ((m_bitOrder & 1) != 0)
    for (uint8_t& b : m_pageData)
      b = reverseBits(b);
  if (ecmSending())
    m_wholePage.insert(m_wholePage.end(), m_pageData.begin(), m_pageData.end());
  else
    m_line->streamData(m_pageData.data(), m_pageData.size());
  m_pageData.clear();
  if (m_dle.end() != DleDecoder::End::None)
    finishSentPage(m_dle.end());
  else
    updateFlowControl();
  return used;
}

void Class2Modem::Impl::connectForData() {
  send(std::string(m_words.dcs) + ":" + formatFaxParams(m_negotiated));
  result("CONNECT");
  if (m_dialect == Class2Dialect::Class2 && m_options.sendXonAfterConnect) {
    const uint8_t xon = kXon;
    sendRaw(&xon, 1);
  }
  m_pending = true; // the end of the page data has a final result of its own
  m_xoff = false;
  m_state = State::SendData;
}

bool Class2Modem::Impl::softwareFlow() const {
  if (m_dialect == Class2Dialect::Class2)
    return true;
  auto it = m_plain.find("FLO");
  return it != m_plain.end() && it->second == "1";
}

void Class2Modem::Impl::setXoff(bool off) {
  if (m_xoff == off)
    return;
  m_xoff = off;
  if (softwareFlow()) {
    const uint8_t code = off ? kXoff : kXon;
    sendRaw(&code, 1);
  }
}

// Paces the DTE to the line: a real modem holds only a little page data.
void Class2Modem::Impl::updateFlowControl() {
  if (m_state == State::SendDraining && m_line && m_line->pageDataSent()) {
    m_state = State::SendPageEnd;
    result("OK");
  }
  // With error correction the modem takes the whole page into its memory.
  if (m_state != State::SendData || !m_line || ecmSending()) {
    setXoff(false);
    return;
  }
  size_t queued = m_line->queuedBytes();
  if (queued > kHighWater)
    setXoff(true);
  else if (queued < kLowWater)
    setXoff(false);
}

void Class2Modem::Impl::finishSentPage(DleDecoder::End how) {
  setXoff(false);
  if (how == DleDecoder::End::Etx && ecmSending()) {
    // The page is in the modem's memory; it goes out once the DTE has said
    // what follows it (+FET).
    m_state = State::SendPageEnd;
    result("OK");
    return;
  }
  if (how == DleDecoder::End::Etx) {
    // A real modem confirms the page data once it has left on the line;
    // DTEs time the page by that OK.
    m_state = State::SendDraining;
    if (m_line)
      m_line->streamComplete();
    return;
  }
  m_pending = true;
  handOverPage(how != DleDecoder::End::LastPage);
}

// The DTE has said what follows the page: the engine ends it accordingly.
void Class2Modem::Impl::handOverPage(bool more) {
  m_state = State::SendLine;
  if (m_line && ecmSending())
    m_line->sendWholePage(std::move(m_wholePage), more);
  else if (m_line)
    m_line->endStreamedPage(more);
  m_wholePage.clear();
}

// ---- receiving ----------------------------------------------------------

void Class2Modem::Impl::onPageData(const uint8_t* data, size_t len) {
  if (m_rxPages.empty() || m_rxPages.back().complete)
    m_rxPages.emplace_back();
  RxPage& page = m_rxPages.back();
  // Class 2 modems hand received data over first bit in the most
  // significant bit, Class 2.0 modems as it was on the line.
  bool reverse = (m_dialect == Class2Dialect::Class2) != ((m_bitOrder & 1) != 0);
  for (size_t i = 0; i < len; ++i)
    page.bytes.push_back(reverse ? reverseBits(data[i]) : data[i]);
  flushReceivedData();
}

void Class2Modem::Impl::feedReceiveControls(const uint8_t* data, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    switch (data[i]) {
    case kDc2:
    case kXon:
      m_paused = false;
      if (m_state == State::RecvWaitDc2)
        m_state = State::RecvData;
      break;
    case kXoff:
      m_paused = true;
      break;
    case kCan:
      endCall(2);
      return;
    default:
      break;
    }
  }
  flushReceivedData();
}

// Sends what the DTE may have of the page at the head of the queue; a
// complete page ends with DLE ETX and its page status and post-page reports.
void Class2Modem::Impl::flushReceivedData() {
  if (m_state != State::RecvData || m_paused || m_rxPages.empty())
    return;
  RxPage& page = m_rxPages.front();
  std::vector<uint8_t> out;
  appendDleEscaped(out, page.bytes.data() + page.sent, page.bytes.size() - page.sent);
  page.sent = page.bytes.size();
  sendRaw(out.data(), out.size());
  if (!page.complete)
    return;
  const uint8_t end[2] = {kDle, kEtx};
  sendRaw(end, 2);
  std::string pts = std::string(m_words.pts) + ":" + std::to_string(page.status) + "," +
                    std::to_string(page.rows) + "," + std::to_string(page.badRows) + ",0";
  if (m_dialect == Class2Dialect::Class20)
    pts += ",0";
  send(pts);
  send("+FET:" + std::to_string(postPageCode(page.ppm)));
  m_rxPages.pop_front();
  m_state = State::RecvReady;
  result("OK");
}

} // namespace tolvane::sim
