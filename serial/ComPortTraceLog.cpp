// Trace and dispatch-log recording of a port and the files they are written to.

#include "platform/FxErrors.h"
#include "platform/TickClock.h"
#include "serial/ComPort.h"

#include <cerrno>
#include <cstdio>

namespace serial {

namespace {

int writeTextFile(const std::string& path, const std::string& text, bool append) {
  FILE* f = std::fopen(path.c_str(), append ? "ab" : "wb");
  if (!f)
    return IoErrorFromErrno(errno, true);
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int err = errno;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok)
    return IoErrorFromErrno(err ? err : EIO, true);
  return 0;
}

} // namespace

void ComPort::startTrace(int entries) {
  std::lock_guard lock(m_mutex);
  if (!m_trace || m_trace->capacity() != entries)
    m_trace = std::make_unique<TraceBuffer>(entries);
  m_tracePaused = false;
  m_traceReads = true;
}

void ComPort::stopTrace() {
  std::lock_guard lock(m_mutex);
  m_trace.reset();
  m_traceReads = false;
}

void ComPort::pauseTrace(bool pause) {
  std::lock_guard lock(m_mutex);
  m_tracePaused = pause;
  m_traceReads = m_trace && !pause;
}

void ComPort::clearTrace() {
  std::lock_guard lock(m_mutex);
  if (m_trace)
    m_trace->clear();
}

int ComPort::dumpTrace(const std::string& path, bool append, bool hex) {
  std::lock_guard lock(m_mutex);
  if (!m_trace)
    return ecTracingNotEnabled;
  if (m_trace->empty())
    return 0;
  int rc = writeTextFile(path, m_trace->text(hex), append);
  if (rc == 0)
    m_trace->clear();
  return rc;
}

void ComPort::startLog(int bytes) {
  std::lock_guard lock(m_mutex);
  m_log = std::make_unique<DispatchLog>(bytes);
  m_logPaused = false;
}

void ComPort::stopLog() {
  std::lock_guard lock(m_mutex);
  m_log.reset();
}

void ComPort::pauseLog(bool pause) {
  std::lock_guard lock(m_mutex);
  m_logPaused = pause;
}

void ComPort::clearLog() {
  std::lock_guard lock(m_mutex);
  if (m_log)
    m_log->clear();
}

int ComPort::dumpLog(const std::string& path, bool append, bool hex) {
  std::lock_guard lock(m_mutex);
  if (!m_log)
    return ecLoggingNotEnabled;
  if (m_log->empty())
    return 0;
  int rc = writeTextFile(path, m_log->text(hex), append);
  if (rc == 0)
    m_log->clear();
  return rc;
}

void ComPort::logNote(const std::string& text) {
  std::lock_guard lock(m_mutex);
  logLocked(ltDispatch, lsNote, 0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void ComPort::logLocked(uint8_t type, uint8_t sub, uint16_t data, const uint8_t* bytes, size_t n) {
  if (m_log && !m_logPaused)
    m_log->add(type, sub, msSinceOpen(), data, bytes, n);
}

} // namespace serial
