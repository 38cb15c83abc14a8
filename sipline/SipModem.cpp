#include "sipline/SipModem.h"

#include "sim/T31Guard.h"

#include <sofia-sip/su_wait.h>

#include <algorithm>
#include <poll.h>
#include <stdexcept>
#include <utility>

namespace tolvane::sipline {
namespace {

constexpr size_t kMaxDteBacklog = 4 << 20;
// A SIP call has no ring cadence. RING every 3 s keeps a program that
// missed one (it was still setting the modem up) from waiting long for the
// next.
constexpr int64_t kRingInterval = 3 * 8000;
using Clock = std::chrono::steady_clock;
constexpr auto kFrame = std::chrono::milliseconds(20);

sim::ModemModel class1Model() {
  return {"sip", {"0", "1"}, "0,1"};
}

} // namespace

SipModem::SipModem(const LineSettings& settings, std::ostream& log)
    : m_settings(settings), m_log(log) {
  if (m_settings.mediaAddress.empty())
    m_settings.mediaAddress = settings.sip.listen.substr(0, settings.sip.listen.find(':'));
  if (!settings.link.empty()) {
    std::string err = m_pty.makeLink(settings.link);
    if (!err.empty())
      throw std::runtime_error(err);
  }
  const std::string portProblem = SipAgent::portProblem(settings.sip.listen);
  if (!portProblem.empty())
    throw std::runtime_error("cannot open the SIP port " + settings.sip.listen + " (" +
                             portProblem + ")");
  sim::T31Guard::keepEcmOffOnT38(!settings.t38Ecm);
  m_root.reset(su_root_create(nullptr));
  if (!m_root)
    throw std::runtime_error("cannot start the SIP stack");
  m_frontEnd = std::make_unique<sim::AtFrontEnd>(class1Model(), [this](const uint8_t* d, size_t n) {
    if (m_clientPresent && m_toDte.size() + n <= kMaxDteBacklog)
      m_toDte.append(reinterpret_cast<const char*>(d), n);
  });
  m_class1 = std::make_unique<sim::Class1Engine>(
      [this](const uint8_t* d, size_t n) { m_frontEnd->engineOutput(d, n); },
      [this](const std::string& number) { later([this, number] { dial(number); }); },
      [this] { later([this] { answerCall(); }); }, [this] { later([this] { hangupCall(); }); },
      [this](const uint8_t* ifp, int len, int count) {
        if (m_media)
          m_media->sendIfp(ifp, len, count);
      });
  m_frontEnd->setEngines(m_class1.get(), nullptr, nullptr);
  SipEvents& events = *this;
  m_agent = std::make_unique<SipAgent>(m_root.get(), m_settings.sip, events);
}

SipModem::~SipModem() {
  m_media.reset();
  m_agent.reset();
  m_frontEnd.reset();
  m_class1.reset();
}

void SipModem::RootDeleter::operator()(su_root_s* root) const {
  su_root_destroy(root);
}

void SipModem::log(const std::string& text) {
  m_log << text << std::endl;
}

void SipModem::engineEvent(sim::CallEvent e) {
  m_class1->callEvent(e);
}

MediaDescription SipModem::ourAudio() const {
  MediaDescription m;
  m.address = m_media->localAddress();
  m.audioPort = m_media->audioPort();
  int other = m_settings.audioPayload == kPayloadPcma ? kPayloadPcmu : kPayloadPcma;
  m.audioPayloads = {m_settings.audioPayload, other};
  return m;
}

MediaDescription SipModem::ourT38(const T38Attributes& attributes) const {
  MediaDescription m;
  m.address = m_media->localAddress();
  m.imagePort = m_media->imagePort();
  m.t38 = attributes;
  return m;
}

std::string SipModem::sdp(const MediaDescription& media, const MediaDescription* offer) {
  return writeSdp(media, m_sdpVersion++, offer);
}

// Points the media at what the far end's SDP names: T.38 when it is there
// and wanted, otherwise the first G.711 law it lists.
bool SipModem::useRemoteMedia(const MediaDescription& far) {
  if (far.imagePort && m_settings.t38) {
    m_t38Terms = answerT38(far.t38, T38Attributes{});
    m_media->useT38(far.address, far.imagePort, m_t38Terms);
    log("media: T.38 to " + far.address + ":" + std::to_string(far.imagePort));
    return true;
  }
  if (far.audioPort && !far.audioPayloads.empty()) {
    m_media->useAudio(far.address, far.audioPort, far.audioPayloads.front());
    log(std::string("media: G.711 ") +
        (far.audioPayloads.front() == kPayloadPcma ? "PCMA" : "PCMU") + " to " + far.address + ":" +
        std::to_string(far.audioPort));
    return true;
  }
  return false;
}

void SipModem::dial(const std::string& number) {
  std::string uri = m_agent->uriForNumber(number);
  if (m_state != State::Idle || uri.empty()) {
    log(uri.empty() ? "dial: no registrar and no peer to dial at" : "dial: line busy");
    return engineEvent(sim::CallEvent::NoDialtone);
  }
  m_media = std::make_unique<MediaLine>(*m_class1, m_settings.mediaAddress);
  m_reinvited = false;
  m_state = State::Dialling;
  log("dialling " + uri);
  m_agent->invite(uri, sdp(ourAudio()));
}

void SipModem::callAnswered(const std::string& text) {
  auto far = parseSdp(text);
  if (m_state != State::Dialling || !far || !useRemoteMedia(*far)) {
    log("call answered without usable media");
    m_agent->hangup();
    m_media.reset();
    m_state = State::Idle;
    return engineEvent(sim::CallEvent::NoAnswer);
  }
  m_state = State::Connected;
  m_nextRefresh = m_now + int64_t{m_settings.refreshSeconds} * 8000;
  log("connected");
  engineEvent(sim::CallEvent::Connected);
}

void SipModem::callFailed(int status, const std::string& phrase) {
  log("call failed: " + std::to_string(status) + " " + phrase);
  m_media.reset();
  bool wasDialling = m_state == State::Dialling;
  m_state = State::Idle;
  if (!wasDialling)
    return;
  bool busy = status == 486 || status == 600 || status == 603;
  engineEvent(busy ? sim::CallEvent::Busy : sim::CallEvent::NoAnswer);
}

void SipModem::incomingCall(const std::string& from, const std::string& offer) {
  log("incoming call from " + (from.empty() ? std::string("unknown") : from));
  m_offer = offer;
  m_state = State::Ringing;
  m_agent->ringing();
  m_nextRing = m_now; // the first ring at once
}

void SipModem::answerCall() {
  if (m_state != State::Ringing)
    return;
  m_media = std::make_unique<MediaLine>(*m_class1, m_settings.mediaAddress);
  m_reinvited = false;
  auto far = parseSdp(m_offer);
  if (!far || !useRemoteMedia(*far)) {
    log("incoming call offers no usable media");
    m_agent->hangup();
    m_media.reset();
    m_state = State::Idle;
    return engineEvent(sim::CallEvent::FarEndHangup);
  }
  m_state = State::Answering;
  m_answerPending = true;
  m_agent->answer(sdp(m_media->t38() ? ourT38(m_t38Terms) : ourAudio(), &*far));
}

// The answering modem is about to send CED: a fax call for certain. Moving to
// T.38 before it starts keeps the whole T.30 session on one transport.
void SipModem::callConfirmed() {
  if (m_state != State::Answering)
    return;
  m_state = State::Connected;
  m_nextRefresh = m_now + int64_t{m_settings.refreshSeconds} * 8000;
  if (m_settings.t38 && !m_media->t38()) {
    m_reinvited = true;
    log("fax answer: offering T.38");
    m_agent->reinvite(sdp(ourT38(T38Attributes{})));
    return;
  }
  m_answerPending = false;
  engineEvent(sim::CallEvent::Answered);
}

void SipModem::reinviteAnswered(int status, const std::string& text) {
  // The answer to a refresh names the media in use: nothing to change,
  // and the page in progress goes on undisturbed.
  if (std::exchange(m_refreshing, false)) {
    log(status < 300 ? "session refreshed" : "session refresh answered " + std::to_string(status));
    return;
  }
  auto far = parseSdp(text);
  if (status < 300 && far && far->imagePort && m_media) {
    useRemoteMedia(*far);
  } else if (m_media) {
    log("T.38 refused (" + std::to_string(status) + "): staying on G.711");
  }
  if (m_answerPending) {
    m_answerPending = false;
    engineEvent(sim::CallEvent::Answered);
  }
}

std::string SipModem::reinviteOffered(const std::string& text) {
  // A re-INVITE without SDP (a session refresh may be one) asks for our
  // offer: what is in use stays in use.
  if (text.empty() && m_media)
    return sdp(m_media->t38() ? ourT38(m_t38Terms) : ourAudio());
  auto far = parseSdp(text);
  if (!far || !m_media || (far->imagePort && !m_settings.t38) ||
      (!far->imagePort && far->audioPayloads.empty())) {
    log("re-INVITE refused");
    return {};
  }
  // A session refresh offers what is in use already: nothing changes then.
  bool sameT38 = far->imagePort && m_media->t38();
  bool sameAudio = !far->imagePort && !m_media->t38();
  if (!sameT38 && !sameAudio) {
    log(far->imagePort ? "far end moves the call to T.38" : "far end moves the call to G.711");
    useRemoteMedia(*far);
  }
  return sdp(far->imagePort ? ourT38(m_t38Terms) : ourAudio(), &*far);
}

void SipModem::hangupCall() {
  // A modem that is reset or told to hang up while a call rings is on hook
  // already: the call keeps ringing for the next ATA (a fax program resets
  // the modem as it starts, perhaps just as a call comes in).
  if (m_state == State::Idle || m_state == State::Ringing)
    return;
  log("hanging up");
  m_agent->hangup();
  endMedia();
  m_state = State::Idle;
  m_answerPending = false;
}

void SipModem::callEnded() {
  State was = m_state;
  endMedia();
  m_state = State::Idle;
  m_answerPending = false;
  if (was == State::Idle)
    return;
  log("far end hung up");
  if (was != State::Ringing)
    engineEvent(sim::CallEvent::FarEndHangup);
}

// The call's media end; what error correction carried over T.38 is told.
void SipModem::endMedia() {
  if (m_media && (m_media->ecmFramesSent() || m_media->ecmFramesReceived()))
    log("ECM over T.38: " + std::to_string(m_media->ecmFramesSent()) + " frames sent, " +
        std::to_string(m_media->ecmFramesReceived()) + " received");
  m_media.reset();
}

void SipModem::registered(bool ok, int status, const std::string& phrase) {
  const std::string answer = std::to_string(status) + " " + phrase;
  if (ok) {
    log("registered with " + m_settings.sip.registrar);
  } else if (status == 408 || status >= 500) {
    // The registrar is gone or does not answer (also when a refresh fails):
    // try again every little while until it is back. A refusal is final.
    log("SIP registrar not reachable: " + answer);
    const int retry = std::clamp(m_settings.sip.registerSeconds / 2, 2, 30);
    m_nextRegistration = m_now + int64_t{retry} * 8000;
  } else {
    log("SIP registration refused: " + answer);
  }
}

// A session refresh (RFC 4028 style) offers the media in use again. Only
// once the media are settled, so that it never crosses the move to T.38.
void SipModem::refreshSession() {
  if (!m_media || m_answerPending || (m_settings.t38 && !m_media->t38() && !m_reinvited))
    return;
  m_nextRefresh = m_now + int64_t{m_settings.refreshSeconds} * 8000;
  if (m_agent->reinvite(sdp(m_media->t38() ? ourT38(m_t38Terms) : ourAudio()))) {
    m_refreshing = true;
    log("session refresh");
  }
}

void SipModem::tick() {
  m_now += kFrameSamples;
  m_frontEnd->tick(m_now);
  m_frontEnd->pump();
  if (m_nextRegistration >= 0 && m_now >= m_nextRegistration) {
    m_nextRegistration = -1;
    m_agent->startRegistration();
  }
  if (m_state == State::Connected && m_settings.refreshSeconds > 0 && m_now >= m_nextRefresh)
    refreshSession();
  if (m_state == State::Ringing && m_now >= m_nextRing) {
    m_nextRing = m_now + kRingInterval;
    m_frontEnd->ring();
  }
  if (!m_media)
    return;
  m_media->tick();
  // A far end that stays on audio but sounds like a fax machine (CED or a
  // V.21 preamble): ask once to move to T.38.
  if (m_state == State::Connected && m_settings.t38 && !m_reinvited && !m_media->t38() &&
      m_media->faxToneHeard()) {
    m_reinvited = true;
    log("fax tones heard: offering T.38");
    m_agent->reinvite(sdp(ourT38(T38Attributes{})));
  }
}

void SipModem::servicePty() {
  bool present = m_pty.clientPresent();
  if (present != m_clientPresent) {
    m_clientPresent = present;
    m_toDte.clear();
    m_pty.discardPending();
    if (!present)
      m_frontEnd->dteGone(); // like dropping DTR: hang up and reset
  }
  if (!present)
    return;
  if (m_frontEnd->wantsInput()) {
    uint8_t buf[4096];
    long n = m_pty.read(buf, sizeof buf);
    if (n > 0)
      m_frontEnd->dteInput(buf, static_cast<size_t>(n));
  }
  if (!m_toDte.empty()) {
    long w = m_pty.write(reinterpret_cast<const uint8_t*>(m_toDte.data()), m_toDte.size());
    if (w > 0)
      m_toDte.erase(0, static_cast<size_t>(w));
  }
}

void SipModem::run(const volatile std::sig_atomic_t* stop) {
  m_agent->startRegistration();
  log("ready " + m_pty.slavePath());
  auto nextTick = Clock::now() + kFrame;
  while (!*stop) {
    pollfd fds[3] = {{m_clientPresent && m_frontEnd->wantsInput() ? m_pty.fd() : -1, POLLIN, 0},
                     {m_media ? m_media->audioFd() : -1, POLLIN, 0},
                     {m_media ? m_media->imageFd() : -1, POLLIN, 0}};
    if (m_clientPresent && !m_toDte.empty())
      fds[0] = {m_pty.fd(), static_cast<short>(POLLOUT | (m_frontEnd->wantsInput() ? POLLIN : 0)),
                0};
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now());
    // sofia's sockets are not in this poll: look at them every few ms.
    int timeout = static_cast<int>(std::clamp<int64_t>(wait.count(), 0, 4));
    ::poll(fds, 3, timeout);
    if (m_media && ((fds[1].revents | fds[2].revents) & POLLIN))
      m_media->readable();
    su_root_step(m_root.get(), 0);
    servicePty();
    for (int n = 0; Clock::now() >= nextTick; ++n) {
      // After a stall, line time jumps rather than racing to catch up.
      if (n == 10) {
        nextTick = Clock::now();
        break;
      }
      tick();
      nextTick += kFrame;
    }
    auto actions = std::move(m_later);
    m_later.clear();
    for (auto& a : actions)
      a();
    servicePty();
  }
  hangupCall();
  m_agent->shutdown();
}

} // namespace tolvane::sipline
