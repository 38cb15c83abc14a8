#pragma once
// A pseudo-terminal for tests: the slave's path is the "device" a port
// opens, the master is the far end a test reads and writes.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

class PtyPair {
public:
  PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
      std::abort();
    m_slave = ::ptsname(m_master);
  }
  ~PtyPair() { hangUp(); }
  // Closes the far end, as a modem that goes away does.
  void hangUp() {
    if (m_master >= 0)
      ::close(m_master);
    m_master = -1;
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master() const { return m_master; }
  const std::string& slavePath() const { return m_slave; }

  void write(const std::string& s) {
    writeAll(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  }
  void writeAll(const uint8_t* p, size_t n) {
    while (n) {
      ssize_t w = ::write(m_master, p, n);
      if (w < 0 && errno == EINTR)
        continue;
      if (w <= 0)
        return;
      p += w;
      n -= static_cast<size_t>(w);
    }
  }
  // Reads what arrives within `ms` milliseconds of quiet.
  std::string readFor(int ms) {
    std::string out;
    for (;;) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN))
        return out;
      char buf[4096];
      ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n <= 0)
        return out;
      out.append(buf, static_cast<size_t>(n));
    }
  }
  // Reads until `text` has arrived or `ms` pass.
  std::string readUntil(const std::string& text, int ms) {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
        continue;
      char buf[4096];
      ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n > 0)
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

private:
  int m_master = -1;
  std::string m_slave;
};

// A scripted modem on the master side: every command line ending in CR is
// answered by the reply the script gives for it (empty: no answer).
class ScriptedResponder {
public:
  ScriptedResponder(PtyPair& pty, std::function<std::string(const std::string&)> script)
      : m_pty(pty), m_script(std::move(script)), m_thread([this] { run(); }) {}
  ~ScriptedResponder() {
    m_stop = true;
    m_thread.join();
  }
  std::vector<std::string> commands() {
    std::lock_guard lock(m_mutex);
    return m_commands;
  }

private:
  void run() {
    std::string line;
    while (!m_stop) {
      pollfd p{m_pty.master(), POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
        continue;
      char buf[256];
      ssize_t n = ::read(m_pty.master(), buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] != '\r') {
          line.push_back(buf[i]);
          continue;
        }
        {
          std::lock_guard lock(m_mutex);
          m_commands.push_back(line);
        }
        std::string reply = m_script(line);
        line.clear();
        if (!reply.empty())
          m_pty.write(reply);
      }
    }
  }

  PtyPair& m_pty;
  std::function<std::string(const std::string&)> m_script;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::string> m_commands;
  std::thread m_thread;
};

} // namespace testsupport
