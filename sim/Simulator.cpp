#include "sim/Simulator.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvane::sim {

Simulator::Simulator(SimConfig config, std::ostream& log)
    : m_config(std::move(config)), m_log(log) {
  m_exchange = std::make_unique<Exchange>(m_config, [this](const std::string& t) { this->log(t); });
}

Simulator::~Simulator() {
  m_modems.clear(); // modems hang up through the exchange, so they go first
  if (m_control >= 0) {
    ::close(m_control);
    ::unlink(m_controlPath.c_str());
  }
}

void Simulator::log(const std::string& text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%9.2f] ",
                static_cast<double>(m_exchange->now()) / kSampleRate);
  m_log << stamp << text << std::endl;
}

std::string Simulator::start() {
  try {
    for (const ModemConfig& mc : m_config.modems) {
      auto modem = std::make_unique<SimModem>(mc, *m_exchange);
      m_exchange->addModem(*modem, mc.name, mc.number);
      m_log << "modem " << mc.name << " " << modem->pty()->slavePath();
      if (!mc.link.empty())
        m_log << " " << mc.link;
      m_log << std::endl;
      m_modems.push_back(std::move(modem));
    }
  } catch (const std::exception& e) {
    return e.what();
  }
  for (const CallInConfig& c : m_config.calls)
    m_scheduled.push_back({c, secondsToSamples(c.at)});
  return {};
}

std::string Simulator::openControl(const std::string& path) {
  ::unlink(path.c_str());
  if (::mkfifo(path.c_str(), 0600) != 0)
    return "cannot make " + path + ": " + std::strerror(errno);
  // Opened for writing too, so that the FIFO never reads as closed between
  // two writers.
  m_control = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (m_control < 0)
    return "cannot open " + path;
  m_controlPath = path;
  return {};
}

void Simulator::controlLine(const std::string& line) {
  auto words = splitConfigWords(line);
  if (words.empty())
    return;
  std::string err;
  if (words[0] == "call" && words.size() >= 3)
    err = m_exchange->callIn(dialledDigits(words[1]), words[2]);
  else
    err = applyConfigLine(m_config, line);
  log(err.empty() ? "control: " + line : "control: " + err);
}

void Simulator::readControl() {
  char buf[1024];
  ssize_t n;
  while ((n = ::read(m_control, buf, sizeof buf)) > 0)
    m_controlBuf.append(buf, static_cast<size_t>(n));
  size_t nl;
  while ((nl = m_controlBuf.find('\n')) != std::string::npos) {
    controlLine(m_controlBuf.substr(0, nl));
    m_controlBuf.erase(0, nl + 1);
  }
  if (m_controlBuf.size() > 4096)
    m_controlBuf.clear();
}

void Simulator::step() {
  m_exchange->step();
  int64_t now = m_exchange->now();
  for (auto& s : m_scheduled) {
    if (s.due < 0 || now < s.due)
      continue;
    std::string err = m_exchange->callIn(s.call.from, s.call.to);
    if (!err.empty())
      log(err);
    s.due = s.call.every > 0 ? now + secondsToSamples(s.call.every) : -1;
  }
  for (auto& m : m_modems)
    m->tick(now);
}

void Simulator::run(const volatile std::sig_atomic_t* stop) {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::nanoseconds(static_cast<int64_t>(20'000'000 / m_config.speed));
  auto nextStep = Clock::now();
  log("ready");
  while (!*stop) {
    std::vector<pollfd> fds;
    for (auto& m : m_modems)
      if (m->wantsRead() || m->hasDueOutput())
        fds.push_back(
            {m->pty()->fd(),
             static_cast<short>((m->wantsRead() ? POLLIN : 0) | (m->hasDueOutput() ? POLLOUT : 0)),
             0});
    if (m_control >= 0)
      fds.push_back({m_control, POLLIN, 0});
    auto wait = std::max(Clock::duration::zero(), nextStep - Clock::now());
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    ::ppoll(fds.data(), fds.size(), &ts, nullptr);
    for (auto& m : m_modems)
      m->service();
    if (m_control >= 0)
      readControl();
    auto now = Clock::now();
    if (now >= nextStep) {
      step();
      nextStep += period;
      // After a stall (a suspended process, a slow machine) carry on from
      // now rather than racing through the missed line time.
      if (now - nextStep > std::chrono::milliseconds(200))
        nextStep = now;
    }
  }
  log("stopping");
}

} // namespace tolvane::sim
