#include "sim/SimModem.h"

#include "sim/Class2Engine.h"

namespace tolvane::sim {
namespace {

constexpr size_t kMaxQueuedOutput = 4 << 20; // a DTE that never reads loses the rest

} // namespace

SimModem::SimModem(const ModemConfig& config, CallControl& line, bool withPty)
    : m_config(config), m_line(line) {
  if (withPty) {
    m_pty = std::make_unique<PtyPort>();
    if (!config.link.empty()) {
      std::string err = m_pty->makeLink(config.link);
      if (!err.empty())
        throw std::runtime_error(err);
    }
  }
  auto out = [this](const uint8_t* d, size_t n) { output(d, n); };
  m_frontEnd = std::make_unique<AtFrontEnd>(config.model, out);
  auto viaFrontEnd = [this](const uint8_t* d, size_t n) { m_frontEnd->engineOutput(d, n); };
  auto dial = [this](std::string_view number) { m_line.dial(*this, number); };
  auto answer = [this] { m_line.answer(*this); };
  auto hangup = [this] { m_line.hangup(*this); };
  m_class1 = std::make_unique<Class1Engine>(
      viaFrontEnd, [dial](const std::string& n) { dial(n); }, answer, hangup);
  if (config.bitErrors > 0)
    m_class1->addLineNoise(config.bitErrors, config.seed);
  if (config.model.classes.count("2"))
    m_class2 = makeClass2Engine(false, {}, {viaFrontEnd, dial, answer, hangup});
  if (config.model.classes.count("2.0"))
    m_class20 = makeClass2Engine(true, {}, {viaFrontEnd, dial, answer, hangup});
  m_frontEnd->setEngines(m_class1.get(), m_class2.get(), m_class20.get());
}

SimModem::~SimModem() {
  m_line.hangup(*this);
}

void SimModem::output(const uint8_t* data, size_t len) {
  if (m_config.silent || len == 0 || (m_pty && !m_clientPresent))
    return;
  std::string bytes(reinterpret_cast<const char*>(data), len);
  // A garbled line ahead of each response, where a noisy modem would put it.
  if (!m_config.garbage.empty() && bytes.size() > 2 && bytes.compare(0, 2, "\r\n") == 0 &&
      std::isalpha(static_cast<unsigned char>(bytes[2])))
    bytes.insert(0, "\r\n" + m_config.garbage);
  if (m_outBytes + bytes.size() > kMaxQueuedOutput)
    return;
  m_outBytes += bytes.size();
  int64_t due = m_now + static_cast<int64_t>(m_config.delayMs) * kSampleRate / 1000;
  m_out.push_back({due, std::move(bytes)});
}

void SimModem::dteInput(const uint8_t* data, size_t len) {
  if (m_config.silent)
    return;
  m_frontEnd->dteInput(data, len);
}

bool SimModem::hasDueOutput() const {
  return !m_out.empty() && m_out.front().due <= m_now;
}

std::string SimModem::takeDueOutput() {
  std::string all;
  while (hasDueOutput()) {
    all += m_out.front().bytes;
    m_outBytes -= m_out.front().bytes.size();
    m_out.pop_front();
  }
  return all;
}

bool SimModem::wantsRead() const {
  return m_clientPresent && m_frontEnd->wantsInput();
}

void SimModem::service() {
  if (!m_pty)
    return;
  bool present = m_pty->clientPresent();
  if (present != m_clientPresent) {
    m_clientPresent = present;
    m_out.clear();
    m_outBytes = 0;
    // Whatever the last program left unread must not greet the next one.
    m_pty->discardPending();
    if (!present) {
      // The class the program left the modem in shows whether it set the
      // modem back to data use for the next program.
      m_line.note("port closed on " + m_config.name + " in class " + m_frontEnd->fclass());
      m_frontEnd->dteGone(); // like dropping DTR: hang up and reset
    }
  }
  if (!present)
    return;
  if (m_frontEnd->wantsInput()) {
    uint8_t buf[4096];
    long n = m_pty->read(buf, sizeof buf);
    if (n > 0)
      dteInput(buf, static_cast<size_t>(n));
  }
  while (hasDueOutput()) {
    Chunk& c = m_out.front();
    long w = m_pty->write(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    if (w <= 0)
      break;
    m_outBytes -= static_cast<size_t>(w);
    if (static_cast<size_t>(w) < c.bytes.size()) {
      c.bytes.erase(0, static_cast<size_t>(w));
      break;
    }
    m_out.pop_front();
  }
}

void SimModem::tick(int64_t nowSamples) {
  m_now = nowSamples;
  m_frontEnd->tick(nowSamples);
  m_frontEnd->pump();
}

int SimModem::lineTx(int16_t* amp, int maxSamples) {
  return m_frontEnd->engine()->tx(amp, maxSamples);
}

void SimModem::lineRx(const int16_t* amp, int samples) {
  m_frontEnd->engine()->rx(amp, samples);
}

void SimModem::onRing() {
  m_frontEnd->ring();
}

void SimModem::event(CallEvent e) {
  m_frontEnd->engine()->callEvent(e);
}

void SimModem::onCallAnswered() {
  event(CallEvent::Connected);
}

void SimModem::onCallConnected() {
  event(CallEvent::Answered);
}

void SimModem::onCallFailed(CallFailure why) {
  switch (why) {
  case CallFailure::Busy:
    return event(CallEvent::Busy);
  case CallFailure::NoAnswer:
    return event(CallEvent::NoAnswer);
  case CallFailure::NoDialtone:
    return event(CallEvent::NoDialtone);
  }
}

void SimModem::onFarEndHangup() {
  event(CallEvent::FarEndHangup);
}

} // namespace tolvane::sim
