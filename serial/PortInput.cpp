// The input side of a port: the dispatch buffer, filled from the device by
// the event thread or by a reader waiting for input, and emptied by readers.

#include "platform/FxErrors.h"
#include "platform/TickClock.h"
#include "serial/ComPort.h"
#include "serial/WakeFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <linux/membarrier.h>
#include <poll.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace serial {

size_t ComPort::inCount() const {
  // Taken first: what was taken never exceeds what was put at any later time.
  const uint64_t taken = m_inTaken.load();
  return static_cast<size_t>(m_inPut.load() - taken);
}

namespace {

// Registers the process for expedited memory barriers once; false where the
// kernel does not offer them, and then no reader is ever lent the input.
bool processBarrierAvailable() {
  static const bool available = [] {
    const long cmds = ::syscall(SYS_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
    return cmds > 0 && (cmds & MEMBARRIER_CMD_PRIVATE_EXPEDITED) &&
           ::syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
  }();
  return available;
}

// Shared reads by one thread in a row after which the input is lent to it.
constexpr unsigned kReadsBeforeLending = 64;

// Threads that can ever be lent input; later ones always read shared.
constexpr unsigned kLentReaderMarks = 1024;

} // namespace

LentReaderMark* claimLentReaderMark() {
  static LentReaderMark marks[kLentReaderMarks];
  static std::atomic<unsigned> next{0};
  const unsigned i = next.fetch_add(1);
  return i < kLentReaderMarks ? &marks[i] : nullptr;
}

void ComPort::lockReaders() {
  while (m_readerBusy.exchange(true, std::memory_order_acquire))
    std::this_thread::yield();
  LentReaderMark* lentTo = m_inputLentTo.load(std::memory_order_relaxed);
  if (lentTo && lentTo != t_lentReaderMark)
    takeBackLentInput(lentTo);
}

// Called with the reader flag held. After the loan is withdrawn, every thread
// of the process passes a full memory barrier: the reader it was lent to has
// then either made its "inside" mark visible, and is waited for, or will see
// the loan gone and queue for the flag.
void ComPort::takeBackLentInput(LentReaderMark* holder) {
  m_inputLentTo.store(nullptr, std::memory_order_relaxed);
  ::syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
  while (holder->inside.load(std::memory_order_acquire))
    std::this_thread::yield();
  m_sharedReadsInARow = 0;
}

// Called with the reader flag held: lends the input to a thread that keeps
// reading while no other does.
void ComPort::noteSharedReader() {
  const void* me = readerToken();
  if (me != m_lastSharedReader) {
    m_lastSharedReader = me;
    m_sharedReadsInARow = 1;
    return;
  }
  if (++m_sharedReadsInARow < kReadsBeforeLending || m_traceReads.load(std::memory_order_relaxed) ||
      !processBarrierAvailable())
    return;
  if (!t_lentReaderMark)
    t_lentReaderMark = claimLentReaderMark();
  if (t_lentReaderMark)
    m_inputLentTo.store(t_lentReaderMark, std::memory_order_relaxed);
}

// A full buffer is refilled once half of it has been read, so the device is
// read in large blocks rather than byte by byte. `waiting` may be
// stale, which only makes the count look larger than it is.
void ComPort::wakeStalledInput(uint64_t waiting) {
  if (waiting <= m_in.size() / 2 + 1 && m_inputStalled.exchange(false))
    signalFd(m_eventWake);
}

bool ComPort::inputWaiting() {
  return inCount() > 0;
}

int ComPort::readByteShared(uint8_t& byte) {
  lockReaders();
  const uint64_t taken = m_inTaken.load(std::memory_order_relaxed);
  const uint64_t put = m_inPut.load(std::memory_order_acquire);
  if (put != taken) {
    byte = m_in[taken & (kDispatchBufferSize - 1)];
    m_inTaken.store(taken + 1, std::memory_order_release);
    if (m_traceReads.load(std::memory_order_relaxed)) {
      std::lock_guard lock(m_mutex);
      if (m_trace && !m_tracePaused)
        m_trace->add('R', byte);
    }
  }
  noteSharedReader();
  unlockReaders();
  if (m_inputStalled.load(std::memory_order_relaxed))
    wakeStalledInput(put - taken);
  return put != taken ? 0 : ecBufferIsEmpty;
}

int ComPort::inputCount() {
  return static_cast<int>(inCount());
}

void ComPort::discardInput() {
  if (!isOpen())
    return;
  bool wake = false;
  // No device read may be between its read and its append: bytes it took
  // before the purge would otherwise turn up after it.
  std::lock_guard readLock(m_readMutex);
  lockReaders();
  {
    std::lock_guard lock(m_mutex);
    m_device.purgeInput();
    m_inTaken = m_inPut.load();
    m_lastAvailTotal = m_totalIn;
    wake = m_inputStalled.exchange(false);
  }
  unlockReaders();
  if (wake)
    signalFd(m_eventWake);
}

bool ComPort::waitForInputCv(int ms) {
  std::unique_lock lock(m_mutex);
  // A device that has gone sends nothing more: the wait takes its full time,
  // so that a caller waiting in a loop does not spin.
  return m_inputCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return inCount() > 0; });
}

namespace {
int msUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<int64_t>(left.count(), 0));
}
} // namespace

bool ComPort::waitForInput(int ms) {
  if (inCount() > 0)
    return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  if (watchDeviceForInput(deadline))
    return true;
  return waitForInputCv(msUntil(deadline));
}

// The reader polls the device itself rather than sleeping until the event
// thread has read and passed on the input: one wake-up less per arrival,
// which counts most when the machine is busy. While readers watch, the event
// thread stands aside. Returns true when input is waiting; false at the
// deadline, or at once when the device cannot be watched (closed, hung up or
// failing), leaving the rest of the wait to the caller.
bool ComPort::watchDeviceForInput(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    {
      std::lock_guard readLock(m_readMutex);
      if (inCount() > 0)
        return true;
      if (m_closing || m_deviceLost)
        return false;
      // The device is non-blocking with no minimum count: an empty read
      // gives 0 (or -EAGAIN) and says nothing more.
      const ssize_t n = readInputLocked();
      if (inCount() > 0)
        return true;
      if (n < 0 && n != -EAGAIN)
        return false;
      ++m_watchingReaders;
    }
    // Output the device refused is written here when room comes, like the
    // input, while the writer thread stands aside.
    const short events = POLLIN | (outputWaitsForRoom() ? POLLOUT : 0);
    pollfd fds[2] = {{m_device.fd(), events, 0}, {m_inputWake, POLLIN, 0}};
    ::poll(fds, 2, msUntil(deadline));
    if (fds[0].revents & POLLOUT)
      writeWhatTheDeviceTakes();
    {
      std::lock_guard readLock(m_readMutex);
      // The last watcher out takes the wake-up back, so that one signal
      // reaches every reader that watched when it was given.
      m_lastWatchMs = platform::monotonicMs();
      if (m_watchingReaders.fetch_sub(1) == 1)
        drainFd(m_inputWake);
    }
    if (inCount() > 0)
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    // A hung-up device is readable at once every time: the event thread,
    // which paces itself, watches it instead.
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
      return false;
  }
}

// True while readers watch the device, or did so a moment ago: they read
// the input themselves, and a reader in a loop of reads and waits is back
// soon. The event thread then keeps off the device, sparing a second thread
// woken for every arrival; input that comes while nobody watches is picked
// up by it within kStandAsideMs.
bool ComPort::readersWatching() const {
  return m_watchingReaders > 0 ||
         platform::monotonicMs() - m_lastWatchMs < static_cast<uint32_t>(kStandAsideMs);
}

bool ComPort::outputWaitsForRoom() {
  std::lock_guard lock(m_mutex);
  return m_outCount && m_deviceFull && !m_writerBusy && !m_discarding;
}

void ComPort::writeWhatTheDeviceTakes() {
  bool wrote = false;
  {
    std::unique_lock lock(m_mutex);
    for (bool more = true; more && m_outCount && !m_writerBusy && !m_discarding;) {
      const ssize_t n = writeQueued(lock);
      more = n > 0 && !m_deviceFull;
      wrote = wrote || n > 0;
    }
    wrote = wrote && !m_handlers.empty();
    m_outputChanged = m_outputChanged || wrote;
  }
  if (wrote)
    m_dispatchCv.notify_all();
}

ssize_t ComPort::readInput() {
  std::lock_guard readLock(m_readMutex);
  return readInputLocked();
}

// Reads what the device has into the dispatch buffer; m_readMutex is held.
// Returns the device's answer: bytes read, 0 at end of file, or -errno.
ssize_t ComPort::readInputLocked() {
  uint8_t buf[kDispatchBufferSize];
  // Readers only ever make room, so the free space may be taken unlocked.
  const size_t room = m_in.size() - inCount();
  ssize_t n = room ? m_device.read(buf, room) : -EAGAIN;
  bool notifyInput = false, notifyDispatch = false;
  {
    std::lock_guard lock(m_mutex);
    if (n < 0 && n != -EAGAIN)
      logLocked(ltError, lsReadCom, static_cast<uint16_t>(-n));
    if (deviceGoneAnswer(n))
      noteDeviceLostLocked(static_cast<int>(-n));
    if (n > 0) {
      appendInputLocked(buf, static_cast<size_t>(n));
      notifyInput = true;
      // Without handlers there is nobody to deliver to; the dispatcher's idle
      // pass catches up once one is added.
      notifyDispatch = !m_handlers.empty();
      m_commEvent = m_commEvent || notifyDispatch;
    }
    // A full buffer may leave bytes in the driver: read them once there is
    // room. A reader that made room meanwhile is seen here.
    if (inCount() == m_in.size()) {
      m_inputStalled.store(true);
      if (inCount() <= m_in.size() / 2)
        m_inputStalled.store(false);
    }
  }
  // Woken threads need the lock, so they are woken once it is free.
  if (notifyInput) {
    m_inputCv.notify_all();
    if (m_watchingReaders > 0)
      signalFd(m_inputWake);
  }
  if (notifyDispatch)
    m_dispatchCv.notify_all();
  return n;
}

void ComPort::appendInputLocked(const uint8_t* buf, size_t n) {
  const size_t first = std::min(n, m_in.size() - m_inHead);
  std::copy(buf, buf + first, m_in.begin() + static_cast<ptrdiff_t>(m_inHead));
  std::copy(buf + first, buf + n, m_in.begin());
  m_inHead = (m_inHead + n) % m_in.size();
  m_totalIn += n;
  logLocked(ltDispatch, lsReadCom, static_cast<uint16_t>(n), buf, n);
  // Publishes the bytes copied above to readers.
  m_inPut.store(m_inPut.load(std::memory_order_relaxed) + n, std::memory_order_release);
}

} // namespace serial
