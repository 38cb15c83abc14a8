// The three threads of an open port and the delivery of triggers.

#include "platform/FxErrors.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/TickClock.h"
#include "serial/ComPort.h"
#include "serial/TriggerHandlerEntry.h"
#include "serial/WakeFd.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace serial {

namespace {

constexpr int kDispatchIdleMs = 50;
constexpr int kStallRecheckMs = 10;

// Waits for `fd` (when >= 0) to be ready for `events` or for the wake-up fd.
// Returns the device's revents (0 on timeout or wake-up).
short waitFor(int fd, short events, int wakeFd, int timeoutMs) {
  pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, events, 0}};
  int n = ::poll(fds, fd >= 0 ? 2 : 1, timeoutMs);
  if (n <= 0)
    return 0;
  if (fds[0].revents)
    drainFd(wakeFd);
  return fd >= 0 ? fds[1].revents : 0;
}

} // namespace

void ComPort::startThreads() {
  m_eventWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  m_writerWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  {
    std::lock_guard readLock(m_readMutex);
    m_inputWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_closing = false;
  }
  m_stop = m_commEvent = m_outputChanged = false;
  m_inputStalled = m_writerBusy = m_discarding = false;
  m_writerIdle = m_deviceFull = false;
  {
    std::lock_guard lock(m_mutex);
    logLocked(ltThread, lsStart, 0);
  }
  // Named, so that a profiler or debugger tells the port's threads apart.
  m_writerThread = std::thread([this] {
    ::pthread_setname_np(::pthread_self(), "fxcom-writer");
    writerLoop();
  });
  m_eventThread = std::thread([this] {
    ::pthread_setname_np(::pthread_self(), "fxcom-event");
    eventLoop();
  });
  m_dispatchThread = std::thread([this] {
    ::pthread_setname_np(::pthread_self(), "fxcom-dispatch");
    dispatchLoop();
  });
}

void ComPort::stopThreads() {
  // Readers watching the device leave before it goes; none starts again.
  for (;;) {
    std::lock_guard readLock(m_readMutex);
    m_closing = true;
    if (m_watchingReaders == 0)
      break;
    signalFd(m_inputWake);
    std::this_thread::yield();
  }
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_dispatchCv.notify_all();
    m_stateCv.notify_all();
  }
  signalFd(m_eventWake);
  signalFd(m_writerWake);
  // Writer first, so nothing half-written is left behind the others.
  for (std::thread* t : {&m_writerThread, &m_eventThread, &m_dispatchThread})
    if (t->joinable())
      t->join();
  ::close(m_eventWake);
  ::close(m_writerWake);
  ::close(m_inputWake);
  m_eventWake = m_writerWake = m_inputWake = -1;
  std::lock_guard lock(m_mutex);
  logLocked(ltThread, lsExit, 0);
}

// ---------------------------------------------------------- event thread

void ComPort::eventLoop() {
  // The event thread waits for input and moves it into the dispatch buffer
  // itself, so a reader polling the port is woken without a detour through
  // the dispatcher; the dispatcher is then told to deliver triggers.
  const int fd = m_device.fd();
  bool idle = false;
  int emptyReads = 0;
  for (;;) {
    bool stalled;
    {
      std::lock_guard lock(m_mutex);
      if (m_stop)
        return;
      stalled = m_inputStalled;
    }
    if (stalled) {
      // No room in the dispatch buffer: wait until a reader makes some. The
      // readers look at the stall flag without a barrier, so one may miss
      // it; the room is then looked at here after a short while.
      waitFor(-1, 0, m_eventWake, kStallRecheckMs);
      if (inCount() <= m_in.size() / 2)
        m_inputStalled = false;
      continue;
    }
    if (idle) {
      // The device reported input but had nothing to read (a hung-up
      // pseudo-terminal does so forever): look again a little later. A
      // wake-up taken here may be the close request, so the loop starts over
      // rather than going on to wait for the device.
      waitFor(-1, 0, m_eventWake, 20);
      idle = false;
      continue;
    }
    if (m_deviceLost) {
      // Nothing will come from a device that has gone: sleep until closed.
      waitFor(-1, 0, m_eventWake, -1);
      continue;
    }
    if (readersWatching()) {
      waitFor(-1, 0, m_eventWake, kStandAsideMs);
      idle = false;
      continue;
    }
    const short revents = waitFor(fd, POLLIN, m_eventWake, -1);
    if (!revents || readersWatching()) {
      idle = false;
      continue;
    }
    const ssize_t n = readInput();
    // A hang-up (POLLHUP: the device unplugged, the pseudo-terminal's far
    // side closed) or a device error with nothing left to read means the
    // device has gone; read errors that say so are caught in readInput.
    if (n == 0 && (revents & (POLLHUP | POLLERR | POLLNVAL))) {
      std::lock_guard lock(m_mutex);
      noteDeviceLostLocked(revents & POLLNVAL ? EBADF : EIO);
      continue;
    }
    // End of file or a failing device wakes poll() at once every time. One
    // empty read is no sign of it: a reader may have taken the bytes first.
    emptyReads = n == 0 ? emptyReads + 1 : 0;
    idle = (n < 0 && n != -EAGAIN) ||
           (n == 0 && ((revents & (POLLHUP | POLLERR | POLLNVAL)) || emptyReads > 1));
  }
}

// ---------------------------------------------------------- dispatcher

void ComPort::dispatchLoop() {
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      int waitMs = kDispatchIdleMs;
      if (int next = m_triggers.msToNextTimer(); next >= 0)
        waitMs = std::min(waitMs, next);
      const bool woken = m_dispatchCv.wait_for(lock, std::chrono::milliseconds(waitMs), [&] {
        return m_stop || m_commEvent || m_outputChanged;
      });
      if (m_stop)
        return;
      m_commEvent = m_outputChanged = false;
      if (!woken) {
        // Idle pass: look at the modem lines, which raise no event here.
        lock.unlock();
        refreshStatus();
      }
    }
    deliverAll();
  }
}

void ComPort::refreshStatus() {
  const uint8_t lines = m_device.modemStatus();
  const uint16_t errors = m_device.lineErrors();
  std::lock_guard lock(m_mutex);
  const uint8_t previous = m_modemStatus & 0xF0;
  if (lines != previous) {
    uint8_t delta = 0;
    if ((lines ^ previous) & msrCTS)
      delta |= msrDCTS;
    if ((lines ^ previous) & msrDSR)
      delta |= msrDDSR;
    if ((previous & msrRI) && !(lines & msrRI))
      delta |= msrTERI;
    if ((lines ^ previous) & msrDCD)
      delta |= msrDDCD;
    m_modemStatus = lines | delta;
    logLocked(ltDispatch, lsModemStatus, m_modemStatus);
  }
  if (errors) {
    m_lineErrors |= errors;
    logLocked(ltDispatch, lsLineStatus, errors);
  }
}

// ---------------------------------------------------------- delivery

PortLevels ComPort::levelsLocked() {
  PortLevels l;
  l.modemStatus = m_modemStatus;
  l.lineErrors = m_lineErrors;
  l.outputCount = static_cast<int>(m_outCount);
  l.outputSpace = static_cast<int>(m_out.size() - m_outCount);
  l.allSent = m_outCount == 0 && !m_writerBusy && m_device.outputQueued() == 0;
  return l;
}

bool ComPort::takeFiredLocked(FiredTrigger& fired) {
  if (m_deviceLost && !m_lostDelivered) {
    m_lostDelivered = true;
    fired = {TriggerDeviceLostMsg, 0, static_cast<uint16_t>(m_lostError)};
    return true;
  }
  if (m_triggers.takeFired(levelsLocked(), platform::tickCount(), fired)) {
    if (fired.msg == TriggerStatusMsg)
      logLocked(ltTrigger, lsStatus, static_cast<uint16_t>(fired.handle));
    else
      logLocked(ltTrigger, lsTimer, static_cast<uint16_t>(fired.handle));
    return true;
  }
  if (m_triggerLength > 0 && m_totalIn > m_lastAvailTotal && inCount() >= m_triggerLength) {
    m_lastAvailTotal = m_totalIn;
    const size_t count = inCount();
    fired = {TriggerAvailMsg, static_cast<int>(count), 0};
    logLocked(ltTrigger, lsAvail, static_cast<uint16_t>(count));
    return true;
  }
  return false;
}

void ComPort::deliverAll() {
  for (;;) {
    FiredTrigger fired;
    {
      std::lock_guard lock(m_mutex);
      if (m_stop || m_hold)
        return;
      if (m_delivering) {
        logLocked(ltError, lsNone, 0);
        return;
      }
      if (!takeFiredLocked(fired))
        return;
      m_delivering = true;
      m_delivered.fetch_add(1, std::memory_order_relaxed);
    }
    deliver(fired);
    std::lock_guard lock(m_mutex);
    m_delivering = false;
    unlinkRemovedLocked();
  }
}

void ComPort::deliver(const FiredTrigger& f) {
  std::vector<std::shared_ptr<TriggerHandlerEntry>> entries;
  {
    std::lock_guard lock(m_mutex);
    entries.assign(m_handlers.begin(), m_handlers.end());
  }
  // The message's wParam is the handle, or the count for avail; lParam
  // carries the port handle in its high word.
  const uint32_t wParam = static_cast<uint32_t>(f.handle);
  const int32_t lParam = static_cast<int32_t>((static_cast<uint32_t>(m_handle) << 16) | f.data);
  for (auto& e : entries) {
    if (e->removed)
      continue;
    if (e->kind == TriggerHandlerKind::Procedure) {
      callHandler(e, f.msg, wParam, lParam);
      continue;
    }
    if (e->filter && !e->filter())
      continue;
    platform::mainThreadDispatcher().send(
        [this, e, msg = f.msg, wParam, lParam] { callHandler(e, msg, wParam, lParam); },
        std::chrono::milliseconds(kWindowSendTimeoutMs));
  }
}

void ComPort::callHandler(const std::shared_ptr<TriggerHandlerEntry>& e, uint32_t msg, uint32_t w,
                          int32_t l) {
  {
    std::lock_guard lock(m_mutex);
    if (e->removed)
      return;
    ++e->running;
    e->runner = std::this_thread::get_id();
  }
  try {
    e->proc(msg, w, l);
  } catch (...) {
    if (e->kind == TriggerHandlerKind::Window)
      platform::reportApplicationException(std::current_exception());
    else {
      std::lock_guard lock(m_mutex);
      logLocked(ltError, lsNone, 1);
    }
  }
  std::lock_guard lock(m_mutex);
  --e->running;
  m_stateCv.notify_all();
}

// ---------------------------------------------------------- writer

bool ComPort::writeChunk() {
  ssize_t n;
  size_t chunk;
  {
    std::unique_lock lock(m_mutex);
    if (m_stop)
      return false;
    if (m_outCount == 0 || m_discarding || m_deviceLost) {
      m_writerIdle = true;
      lock.unlock();
      waitFor(-1, 0, m_writerWake, -1);
      return true;
    }
    // A sending thread may be writing: wait for it rather than spin.
    if (m_writerBusy) {
      m_stateCv.wait(lock, [&] { return !m_writerBusy || m_stop; });
      return true;
    }
    chunk = std::min(m_outCount, m_out.size() - m_outTail);
    n = writeQueued(lock);
    if (n > 0 && !m_handlers.empty()) {
      m_outputChanged = true;
      m_dispatchCv.notify_all();
    }
  }
  if (n > 0 && static_cast<size_t>(n) == chunk)
    return true;
  // The device is full (or failing, which is retried slowly rather than spun
  // on). The wait for room is taken in short slices: some drivers
  // (pseudo-terminals among them) do not always signal room as soon as it
  // appears. A sending thread may write meanwhile, and readers waiting on the
  // device write when room comes: the writer then keeps off the device.
  if (n < 0)
    waitFor(-1, 0, m_writerWake, 50);
  else if (readersWatching())
    waitFor(-1, 0, m_writerWake, kStandAsideMs);
  else
    waitFor(m_device.fd(), POLLOUT, m_writerWake, 5);
  return true;
}

void ComPort::writerLoop() {
  while (writeChunk()) {
  }
}

} // namespace serial
