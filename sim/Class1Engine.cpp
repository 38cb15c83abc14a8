#include "sim/Class1Engine.h"

#include "sim/T31Guard.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

namespace tolvane::sim {

Class1Engine::Class1Engine(Output output, Dial dial, Simple answer, Simple hangup, T38Output t38)
    : m_output(std::move(output)), m_dial(std::move(dial)), m_answer(std::move(answer)),
      m_hangup(std::move(hangup)), m_t38(std::move(t38)) {
  create();
}

Class1Engine::~Class1Engine() {
  destroy();
}

// spandsp 0.0.6 frees a T.31 modem without the receive queue that t31_init
// allocated; without this every reset would leak 4 KB.
void Class1Engine::destroy() {
  if (m_t31->rx_queue) {
    queue_free(m_t31->rx_queue);
    m_t31->rx_queue = nullptr;
  }
  t31_free(m_t31);
  m_t31 = nullptr;
}

void Class1Engine::create() {
  m_t31 = t31_init(nullptr, &Class1Engine::atTx, this, &Class1Engine::control, this,
                   m_t38 ? &Class1Engine::t38Tx : nullptr, this);
  m_t38Mode = false;
  T31Guard::guardT38(m_t31);
  t31_set_mode(m_t31, 0); // audio until the line says otherwise
  if (std::getenv("TOLVANE_SIM_TRACE")) {
    span_log_set_level(t31_get_logging_state(m_t31),
                       SPAN_LOG_SHOW_SEVERITY | SPAN_LOG_SHOW_TAG | SPAN_LOG_FLOW);
    span_log_set_tag(t31_get_logging_state(m_t31), "T.31");
  }
  m_ctsOn = true;
  applyProfile();
  if (m_class != 0)
    setClass(m_class);
}

void Class1Engine::reset() {
  destroy();
  m_class = 0;
  create();
}

// The front end echoes and formats its own results; T.31 must format its
// results (CONNECT, NO CARRIER ...) the same way and never echo.
void Class1Engine::applyProfile() {
  std::string cmd = std::string("ATE0V") + (m_format.verbose ? "1" : "0") + "Q" +
                    (m_format.quiet ? "1" : "0") + "\r";
  m_capturing = true;
  t31_at_rx(m_t31, cmd.data(), static_cast<int>(cmd.size()));
  m_capturing = false;
  m_captured.clear();
}

void Class1Engine::setResultFormat(const ResultFormat& format) {
  m_format = format;
  applyProfile();
}

void Class1Engine::setClass(int fclass) {
  m_class = fclass;
  std::string cmd = "AT+FCLASS=" + std::to_string(fclass) + "\r";
  m_capturing = true;
  t31_at_rx(m_t31, cmd.data(), static_cast<int>(cmd.size()));
  m_capturing = false;
  m_captured.clear();
}

// spandsp 0.0.6's AT interpreter copies a dial string into a fixed stack
// buffer without a length check: a long one from the DTE smashes the stack.
// Commands are kept short and printable before they reach it; a modem
// answers ERROR to anything longer anyway.
bool Class1Engine::safeForT31(const AtCommand& cmd) {
  size_t limit = cmd.name == "D" ? kMaxDialString : kMaxCommand;
  if (cmd.arg.size() > limit)
    return false;
  return std::all_of(cmd.arg.begin(), cmd.arg.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// The AT parser upper-cases what is not quoted: an unquoted address comes
// back in lower case (host names do not care; keep a user part's case by
// quoting it: ATD"sip:Fax@host").
std::string Class1Engine::sipAddressIn(const std::string& dialArg) {
  std::string a = dialArg;
  if (!a.empty() && (a[0] == 'T' || a[0] == 'P'))
    a.erase(0, 1);
  const bool quoted = a.size() >= 2 && a.front() == '"' && a.back() == '"';
  if (quoted)
    a = a.substr(1, a.size() - 2);
  std::string lower = a;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool scheme = lower.rfind("sip:", 0) == 0 || lower.rfind("sips:", 0) == 0;
  if (!scheme && a.find('@') == std::string::npos)
    return {};
  if (!quoted)
    return lower;
  if (scheme)
    a.replace(0, a.find(':'), lower.substr(0, lower.find(':')));
  return a;
}

CommandOutcome Class1Engine::command(const AtCommand& cmd) {
  AtCommand sent = cmd;
  if (cmd.name == "D") {
    // T.31 dials digits only: it gets a stand-in and the line the address.
    m_dialAddress = sipAddressIn(cmd.arg);
    if (!m_dialAddress.empty())
      sent.arg = "T0";
  }
  if (!safeForT31(sent))
    return CommandOutcome::Error;
  std::string line = "AT" + sent.name + sent.arg + "\r";
  m_captured.clear();
  m_capturing = true;
  t31_at_rx(m_t31, line.data(), static_cast<int>(line.size()));
  m_capturing = false;
  std::string out = std::move(m_captured);
  m_captured.clear();
  const std::string ok = m_format.verbose ? "\r\nOK\r\n" : "0\r";
  const std::string error = m_format.verbose ? "\r\nERROR\r\n" : "4\r";
  if (out == error)
    return CommandOutcome::Error;
  if (out.size() >= ok.size() && out.compare(out.size() - ok.size(), ok.size(), ok) == 0) {
    out.resize(out.size() - ok.size());
    if (!out.empty())
      m_output(reinterpret_cast<const uint8_t*>(out.data()), out.size());
    return CommandOutcome::Ok;
  }
  if (!out.empty())
    m_output(reinterpret_cast<const uint8_t*>(out.data()), out.size());
  return CommandOutcome::Reported;
}

bool Class1Engine::inDataMode() const {
  int mode = m_t31->at_state.at_rx_mode;
  return mode != AT_MODE_ONHOOK_COMMAND && mode != AT_MODE_OFFHOOK_COMMAND;
}

void Class1Engine::dteData(const uint8_t* data, size_t len) {
  T31Guard::dteData(m_t31, data, len);
}

bool Class1Engine::receivingPageData() const {
  const int modem = m_t31->modem;
  return m_t31->at_state.at_rx_mode == AT_MODE_DELIVERY &&
         (modem == FAX_MODEM_V17_RX || modem == FAX_MODEM_V29_RX || modem == FAX_MODEM_V27TER_RX);
}

bool Class1Engine::escape() {
  at_set_at_rx_mode(&m_t31->at_state, AT_MODE_OFFHOOK_COMMAND);
  return true;
}

void Class1Engine::selectClass(const std::string& fclass) {
  setClass(fclass == "1" ? 1 : 0);
}

void Class1Engine::callEvent(CallEvent event) {
  switch (event) {
  case CallEvent::Answered:
    t31_call_event(m_t31, AT_CALL_EVENT_ANSWERED);
    break;
  case CallEvent::Connected:
    t31_call_event(m_t31, AT_CALL_EVENT_CONNECTED);
    break;
  case CallEvent::Busy:
    t31_call_event(m_t31, AT_CALL_EVENT_BUSY);
    break;
  case CallEvent::NoAnswer:
    t31_call_event(m_t31, AT_CALL_EVENT_NO_ANSWER);
    break;
  case CallEvent::NoDialtone:
    t31_call_event(m_t31, AT_CALL_EVENT_NO_DIALTONE);
    break;
  case CallEvent::FarEndHangup:
    t31_call_event(m_t31, AT_CALL_EVENT_HANGUP);
    break;
  }
}

int Class1Engine::tx(int16_t* amp, int maxSamples) {
  return t31_tx(m_t31, amp, maxSamples);
}

void Class1Engine::addLineNoise(double bitErrorRate, uint32_t seed) {
  m_noise = std::make_unique<LineNoise>(bitErrorRate, seed);
  m_noise->SetActive(true); // a training check survives rates of this size
}

void Class1Engine::rx(const int16_t* amp, int samples) {
  if (m_noise)
    m_noise->Attach(m_t31->audio.modems);
  T31Guard::guardAudio(m_t31);
  t31_rx(m_t31, const_cast<int16_t*>(amp), samples);
}

void Class1Engine::setT38Mode(bool on) {
  if (!m_t38)
    return;
  m_t38Mode = on;
  t31_set_mode(m_t31, on ? 1 : 0);
  // spandsp 0.0.6 ends a received V.21 burst on a NO_SIGNAL indicator only
  // when its front end believes V.21 is being received, which its T.31 never
  // records; its own T.38 transmitter ends the last frame of a burst with
  // FCS-OK and NO_SIGNAL, so without this the final OK after DIS, DCS or a
  // post-page answer would never reach the DTE.
  if (on)
    m_t31->t38_fe.current_rx_type = T30_MODEM_V21;
}

void Class1Engine::rxFillin(int samples) {
  T31Guard::guardAudio(m_t31);
  t31_rx_fillin(m_t31, samples);
}

int Class1Engine::t38Tx(t38_core_state_t*, void* user, const uint8_t* buf, int len, int count) {
  auto* self = static_cast<Class1Engine*>(user);
  if (self->m_t38)
    self->m_t38(buf, len, count);
  return 0;
}

int Class1Engine::atTx(at_state_t*, void* user, const uint8_t* buf, size_t len) {
  auto* self = static_cast<Class1Engine*>(user);
  if (self->m_capturing)
    self->m_captured.append(reinterpret_cast<const char*>(buf), len);
  else
    self->m_output(buf, len);
  return static_cast<int>(len);
}

int Class1Engine::control(t31_state_t*, void* user, int op, const char* num) {
  auto* self = static_cast<Class1Engine*>(user);
  switch (op) {
  case AT_MODEM_CONTROL_CALL:
    self->m_dial(!self->m_dialAddress.empty() ? std::exchange(self->m_dialAddress, {})
                                              : std::string(num ? num : ""));
    break;
  case AT_MODEM_CONTROL_ANSWER:
    self->m_answer();
    break;
  case AT_MODEM_CONTROL_HANGUP:
  case AT_MODEM_CONTROL_ONHOOK:
    self->m_hangup();
    break;
  case AT_MODEM_CONTROL_CTS:
    self->m_ctsOn = num != nullptr;
    break;
  default:
    break;
  }
  return 0;
}

} // namespace tolvane::sim
