// Call flow of the Class 2 / 2.0 modem: line events, the T.30 engine's
// frames and rows, the DTE's page data and the reports that go with them.

#include "sim/class2/Class2Modem.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "sim/class2/Class2ModemImpl.h"
#include "sim/class2/T30Frames.h"

namespace tolvane::sim {
namespace {

const Class2Words kClass2Words{"+FCON", "+FDIS", "+FDCS", "+FTSI", "+FCSI", "+FPTS", "+FHNG"};
const Class2Words kClass20Words{"+FCO", "+FIS", "+FCS", "+FTI", "+FCI", "+FPS", "+FHS"};

uint8_t fcf(const uint8_t* frame, int len) {
  return len >= 3 ? static_cast<uint8_t>(frame[2] & 0xFE) : 0;
}

// Station IDs travel as 20 characters, last character first.
std::string identFrom(const uint8_t* frame, int len) {
  std::string id;
  for (int i = len - 1; i >= 3; --i)
    id += static_cast<char>(frame[i]);
  size_t b = id.find_first_not_of(' '), e = id.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : id.substr(b, e - b + 1);
}

int statusFor(uint8_t response) {
  switch (response) {
  case kFcfMcf:
    return 1;
  case kFcfRtn:
    return 2;
  case kFcfRtp:
    return 3;
  case kFcfPin:
    return 4;
  case kFcfPip:
    return 5;
  default:
    return 0;
  }
}

bool isPpm(uint8_t f) {
  return f == kFcfMps || f == kFcfEop || f == kFcfEom || f == kFcfPriMps || f == kFcfPriEop ||
         f == kFcfPriEom;
}

std::string tempPath(const std::string& dir) {
  static int counter = 0;
  std::filesystem::path base =
      dir.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(dir);
  return (base /
          ("tolvane-class2-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tif"))
      .string();
}

} // namespace

Class2Modem::Impl::Impl(Class2Dialect dialect, Class2Options options, Host host)
    : m_dialect(dialect), m_options(std::move(options)), m_host(std::move(host)),
      m_words(dialect == Class2Dialect::Class2 ? kClass2Words : kClass20Words),
      m_dle(dialect == Class2Dialect::Class20) {
  m_options.maxBitRate = std::clamp(m_options.maxBitRate, 0, 5);
  m_modemCaps = FaxParams{1, m_options.maxBitRate, 0, 2, 0, 0, 0, 0};
  m_session = m_modemCaps;
  m_localId = m_options.localId;
  m_plain = plainDefaults(dialect);
}

// ---- output -------------------------------------------------------------

void Class2Modem::Impl::sendRaw(const uint8_t* data, size_t len) {
  if (m_host.toDte && len > 0)
    m_host.toDte(data, len);
}

void Class2Modem::Impl::send(std::string_view line) {
  std::string text = "\r\n" + std::string(line) + "\r\n";
  sendRaw(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// A final result code; it completes the pending command.
void Class2Modem::Impl::result(std::string_view word) {
  m_pending = false;
  if (m_verbose) {
    send(word);
    return;
  }
  static const std::pair<const char*, int> kCodes[] = {
      {"OK", 0},    {"CONNECT", 1},     {"RING", 2}, {"NO CARRIER", 3},
      {"ERROR", 4}, {"NO DIALTONE", 6}, {"BUSY", 7}, {"NO ANSWER", 8}};
  for (const auto& [text, code] : kCodes) {
    if (word == text) {
      std::string s = std::to_string(code) + "\r";
      sendRaw(reinterpret_cast<const uint8_t*>(s.data()), s.size());
      return;
    }
  }
}

std::string Class2Modem::Impl::hangupLine(int code) const {
  char buf[24];
  if (m_dialect == Class2Dialect::Class2)
    std::snprintf(buf, sizeof buf, "%s:%d", m_words.hangup, code);
  else
    std::snprintf(buf, sizeof buf, "%s:%02d", m_words.hangup, code);
  return buf;
}

// ---- line ---------------------------------------------------------------

void Class2Modem::Impl::callEvent(Event e) {
  switch (e) {
  case Event::Alerting:
    return;
  case Event::Connected:
    if (m_state == State::Dialling)
      startLine(true);
    return;
  case Event::Answered:
    if (m_state == State::Answering)
      startLine(false);
    return;
  case Event::Busy:
  case Event::NoAnswer:
  case Event::NoDialtone:
    if (m_state == State::Dialling) {
      reset();
      result(e == Event::Busy ? "BUSY" : e == Event::NoAnswer ? "NO ANSWER" : "NO DIALTONE");
    }
    return;
  case Event::Hangup:
    if (m_state == State::Dialling || m_state == State::Answering) {
      reset();
      result("NO CARRIER");
    } else if (m_line && !m_line->finished()) {
      // the phase the call was in: page data (C) or negotiation (B)
      bool pageData = m_state == State::SendData || m_state == State::SendDraining ||
                      m_state == State::SendPageEnd || m_state == State::SendLine;
      bool tx = m_state < State::Answering;
      endCall(pageData ? 40 : m_state == State::RecvData ? 90 : tx ? 20 : 70);
    }
    return;
  }
}

void Class2Modem::Impl::startLine(bool calling) {
  T30Line::Config config;
  config.calling = calling;
  config.localId = m_localId;
  config.maxBitRate = std::min(m_options.maxBitRate, calling ? m_session.br : m_modemCaps.br);
  config.tempFile = tempPath(m_options.tempDir);
  T30Line::Callbacks cb;
  int gen = ++m_generation;
  cb.frame = [this, gen](bool in, const uint8_t* f, int n) {
    if (gen == m_generation)
      onFrame(in, f, n);
  };
  cb.holdBefore = [this, gen](const uint8_t* f, int n) {
    return gen == m_generation && holdBefore(f, n);
  };
  cb.pageData = [this, gen](const uint8_t* data, size_t len) {
    if (gen == m_generation)
      onPageData(data, len);
  };
  cb.end = [this, gen](int code) {
    if (gen == m_generation)
      onCallEnd(code);
  };
  m_line = std::make_unique<T30Line>(config, cb);
  // An answering modem offers the codings and error correction its DTE has
  // said it takes.
  if (!calling)
    m_line->setCoding(m_modemCaps.df, m_modemCaps.ec != 0);
  // A new call reports its connection and starts its document afresh: a
  // call that ended on its own (not through a reset) leaves these set.
  m_reportedConnect = false;
  m_documentStarted = false;
  m_negotiated = FaxParams{};
  m_lastPpm = 0;
  m_remoteId.clear();
  m_state = calling ? State::Calling : State::RecvPhaseB;
  m_heldSamples = 0;
}

// The listener hears the far end's frames before the engine does. The
// engine is held at the far end's DIS until the DTE gives +FDT; the page
// status after each page is reported as soon as the response is heard.
bool Class2Modem::Impl::holdBefore(const uint8_t* frame, int len) {
  uint8_t f = fcf(frame, len);
  if (f == kFcfCfr && m_state == State::SendTraining && ecmSending()) {
    // The page goes out in blocks once the modem has all of it.
    connectForData();
    return true;
  }
  if (m_state != State::Calling && m_state != State::SendLine)
    return false;
  if (f == kFcfCsi && m_state == State::Calling) {
    m_remoteId = identFrom(frame, len);
    return false;
  }
  if (f == kFcfDis && m_state == State::Calling) {
    m_remoteDis = paramsFromDis(frame, len);
    send(m_words.connect);
    if (!m_remoteId.empty())
      send(std::string(m_words.csi) + ":\"" + m_remoteId + "\"");
    send(std::string(m_words.dis) + ":" + formatFaxParams(m_remoteDis));
    result("OK");
    m_state = State::SendReady;
    return true;
  }
  int status = statusFor(f);
  if (status == 0 || m_state != State::SendLine)
    return false;
  if (ecmSending() && m_lastPpm == 0)
    return false; // a block within the page
  bool last = m_lastPpm == kFcfEop || m_lastPpm == kFcfPriEop;
  reportPageResult(f);
  // After the last page the engine says goodbye on its own and the end of
  // the call is reported; otherwise it starts the next page at once and
  // sends fill until the DTE's data comes, or with error correction waits
  // for the whole of it.
  if (!last)
    m_state = State::SendReady;
  return !last && ecmSending();
}

void Class2Modem::Impl::reportPageResult(uint8_t response) {
  int status = statusFor(response);
  m_lastPageStatus = status;
  bool last = m_lastPpm == kFcfEop || m_lastPpm == kFcfPriEop;
  if (m_dialect == Class2Dialect::Class2) {
    send(std::string(m_words.pts) + ":" + std::to_string(status));
    if (!last)
      result("OK");
    return;
  }
  if (m_options.reportSentPageStatus)
    send(std::string(m_words.pts) + ":" + std::to_string(status));
  if (!last)
    result(status == 1 || status == 3 ? "OK" : "ERROR");
}

void Class2Modem::Impl::onFrame(bool incoming, const uint8_t* frame, int len) {
  uint8_t f = fcf(frame, len);
  if (!incoming) {
    if (isPpm(f))
      m_lastPpm = f;
    else if (f == kFcfPps && len > 3)
      m_lastPpm = static_cast<uint8_t>(frame[3] & 0xFE);
    if (f == kFcfDcs && m_state == State::SendTraining)
      m_negotiated = paramsFromDcs(frame, len);
    if (m_state == State::RecvPhaseB && f == kFcfCfr) {
      result("OK");
      m_state = State::RecvReady;
    }
    if (statusFor(f) != 0 && !m_rxPages.empty() && !m_rxPages.back().complete &&
        m_rxPages.back().ppm != 0) {
      RxPage& page = m_rxPages.back();
      if (m_negotiated.ec != 0 && page.bytes.empty()) {
        m_rxPages.pop_back(); // the far end repeated its last PPS: no new page
        return;
      }
      if (m_line)
        m_line->lastPageRows(page.rows, page.badRows);
      page.status = statusFor(f);
      page.complete = true;
      flushReceivedData();
    }
    return;
  }
  if (f == kFcfCfr && m_state == State::SendTraining) {
    connectForData();
    return;
  }
  if (m_line == nullptr || m_state < State::Answering)
    return;
  if (!m_reportedConnect && (f == kFcfTsi || f == kFcfDcs)) {
    send(m_words.connect);
    m_reportedConnect = true;
  }
  if (f == kFcfTsi) {
    m_remoteId = identFrom(frame, len);
    send(std::string(m_words.tsi) + ":\"" + m_remoteId + "\"");
  } else if (f == kFcfDcs) {
    m_negotiated = paramsFromDcs(frame, len);
    send(std::string(m_words.dcs) + ":" + formatFaxParams(m_negotiated));
  } else if (isPpm(f) ||
             (f == kFcfPps && len > 3 && isPpm(static_cast<uint8_t>(frame[3] & 0xFE)))) {
    uint8_t ppm = f == kFcfPps ? static_cast<uint8_t>(frame[3] & 0xFE) : f;
    m_lastPpm = ppm;
    if (m_rxPages.empty() || m_rxPages.back().complete)
      m_rxPages.emplace_back();
    m_rxPages.back().ppm = ppm;
  }
}

void Class2Modem::Impl::onCallEnd(int completion) {
  bool tx = m_state < State::Answering;
  int code = hangupCodeFor(completion, tx);
  // The engine hangs up on its own after the last page is answered with RTN
  // or PIN, and counts that as a clean end; the page never arrived, so the
  // DTE is told of a phase D failure instead of a normal hang-up.
  bool last = m_lastPpm == kFcfEop || m_lastPpm == kFcfPriEop;
  if (tx && code == 0 && last && (m_lastPageStatus == 2 || m_lastPageStatus == 4))
    code = 50;
  endCall(code);
}

// The call is over: report the cause where the DTE waits for it, go on hook.
// Pages already received stay for the DTE to fetch.
void Class2Modem::Impl::endCall(int code) {
  ++m_generation; // nothing more from this call's engine counts
  setXoff(false); // a DTE stopped in mid-page must be able to talk again
  if (m_line)
    m_graveyard.push_back(std::move(m_line));
  if (m_host.hangup)
    m_host.hangup();
  bool receiving =
      m_state == State::RecvReady || m_state == State::RecvData || m_state == State::RecvWaitDc2;
  if (receiving) {
    while (m_rxPages.size() > 1 && !m_rxPages.back().complete)
      m_rxPages.pop_back();
    bool pageReady = !m_rxPages.empty() && m_rxPages.front().complete;
    if (pageReady || (code == 0 && m_state == State::RecvReady)) {
      m_endCode = code;
      return;
    }
  }
  if (m_state == State::RecvData || m_state == State::RecvWaitDc2) {
    const uint8_t end[2] = {kDle, kEtx};
    sendRaw(end, 2);
  }
  send(hangupLine(code));
  if (m_pending)
    result(code == 0 ? "OK" : "ERROR");
  m_state = State::Idle;
  m_rxPages.clear();
  m_pageData.clear();
  m_endCode.reset();
}

// ---- audio --------------------------------------------------------------

int Class2Modem::Impl::tx(int16_t* amp, int max) {
  m_graveyard.clear();
  if (!m_line)
    return 0;
  int n = m_line->tx(amp, max);
  updateFlowControl();
  return n;
}

void Class2Modem::Impl::rx(const int16_t* amp, int len) {
  m_graveyard.clear();
  if (!m_line)
    return;
  bool waitingForDte = m_line->held() || m_state == State::SendReady ||
                       m_state == State::SendData || m_state == State::SendPageEnd;
  if (m_state == State::SendData && m_line->queuedBytes() > kLowWater)
    waitingForDte = false; // the line is busy with the DTE's data
  if (!waitingForDte) {
    m_heldSamples = 0;
  } else if ((m_heldSamples += len) > kHoldLimitSamples) {
    // The far end will not wait for ever: neither does the modem.
    endCall(m_state == State::SendData ? 43 : 20);
    return;
  }
  m_line->rx(amp, len);
}

bool Class2Modem::Impl::inDataMode() const {
  return m_state == State::SendData || m_state == State::RecvWaitDc2 || m_state == State::RecvData;
}

// ---- public face --------------------------------------------------------

Class2Modem::Class2Modem(Class2Dialect dialect, Class2Options options, Host host)
    : m_impl(std::make_unique<Impl>(dialect, std::move(options), std::move(host))) {}
Class2Modem::~Class2Modem() = default;
Class2Dialect Class2Modem::dialect() const {
  return m_impl->m_dialect;
}
void Class2Modem::reset() {
  Impl& i = *m_impl;
  i.reset();
  i.m_modemCaps = FaxParams{1, i.m_options.maxBitRate, 0, 2, 0, 0, 0, 0};
  i.m_session = i.m_modemCaps;
  i.m_localId = i.m_options.localId;
  i.m_bitOrder = 0;
  i.m_plain = Impl::plainDefaults(i.m_dialect);
  i.m_verbose = true;
}
void Class2Modem::setVerbose(bool verbose) {
  m_impl->m_verbose = verbose;
}
Class2Modem::Result Class2Modem::command(std::string_view cmd) {
  m_impl->m_graveyard.clear();
  Result r = m_impl->command(cmd);
  if (r == Result::Error)
    m_impl->result("ERROR");
  return r;
}
void Class2Modem::callEvent(Event event) {
  m_impl->m_graveyard.clear();
  m_impl->callEvent(event);
}
void Class2Modem::ring() {}
bool Class2Modem::inDataMode() const {
  return m_impl->inDataMode();
}
size_t Class2Modem::dteData(const uint8_t* data, size_t len) {
  m_impl->m_graveyard.clear();
  return m_impl->dteData(data, len);
}
bool Class2Modem::readyForData() const {
  return !m_impl->m_xoff;
}
int Class2Modem::tx(int16_t* amp, int max) {
  return m_impl->tx(amp, max);
}
void Class2Modem::rx(const int16_t* amp, int len) {
  m_impl->rx(amp, len);
}

} // namespace tolvane::sim
