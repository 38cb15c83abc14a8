#include "serial/ComPort.h"

#include "platform/FxErrors.h"
#include "platform/TickClock.h"
#include "serial/TriggerHandlerEntry.h"
#include "serial/WakeFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

namespace serial {

namespace {

// The process-wide port table: slot n holds the port with handle n + 1 and
// the resolved device path, so a second open of one device is caught here.
struct PortTable {
  std::mutex mutex;
  std::array<ComPort*, kMaxPorts> ports{};
  std::array<std::string, kMaxPorts> devices;
};

PortTable& table() {
  static PortTable t;
  return t;
}

std::string resolvedPath(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf))
    return buf;
  return path;
}

int claimSlot(ComPort* port, const std::string& device) {
  PortTable& t = table();
  std::lock_guard lock(t.mutex);
  for (int i = 0; i < kMaxPorts; ++i)
    if (t.ports[i] && t.devices[i] == device)
      return ecAlreadyOpen;
  for (int i = 0; i < kMaxPorts; ++i)
    if (!t.ports[i]) {
      t.ports[i] = port;
      t.devices[i] = device;
      return i + 1;
    }
  return ecNoHandles;
}

void freeSlot(int handle) {
  PortTable& t = table();
  std::lock_guard lock(t.mutex);
  t.ports[handle - 1] = nullptr;
  t.devices[handle - 1].clear();
}

} // namespace

ComPort* portFromHandle(int handle) {
  if (handle < 1 || handle > kMaxPorts)
    return nullptr;
  PortTable& t = table();
  std::lock_guard lock(t.mutex);
  return t.ports[handle - 1];
}

uint32_t ComPort::msSinceOpen() const {
  return platform::monotonicMs() - m_openedMs;
}

int ComPort::open(const PortConfig& config) {
  if (isOpen())
    return ecAlreadyOpen;
  if (config.devicePath.empty())
    return ecBadId;
  const int handle = claimSlot(this, resolvedPath(config.devicePath));
  if (handle < 0)
    return handle;
  int rc = m_device.open(config.devicePath);
  if (rc == 0) {
    try {
      m_in.assign(kDispatchBufferSize, 0);
      m_out.assign(std::max<size_t>(config.outSize, 1), 0);
    } catch (const std::bad_alloc&) {
      rc = ecOutOfMemory;
    }
  }
  if (rc == 0)
    rc = m_device.setLine(config.line);
  if (rc < 0) {
    m_device.close();
    freeSlot(handle);
    return rc;
  }
  m_inSize = config.inSize;
  m_inHead = 0;
  m_inPut = m_inTaken = 0;
  m_totalIn = m_lastAvailTotal = 0;
  m_outHead = m_outTail = m_outCount = 0;
  m_triggers.clear();
  m_triggerLength = 1;
  m_hold = m_delivering = false;
  m_userData.fill(nullptr);
  m_modemStatus = m_device.modemStatus();
  m_lineErrors = 0;
  m_deviceLost = false;
  m_delivered = 0;
  m_lostDelivered = false;
  m_lostError = 0;
  m_openedMs = platform::monotonicMs();
  m_handle = handle;
  startThreads();
  return handle;
}

void ComPort::close() {
  if (!isOpen())
    return;
  runCloseHooks(false);
  stopThreads();
  m_device.close();
  freeSlot(m_handle);
  m_handle = 0;
  lockReaders();
  std::lock_guard lock(m_mutex);
  m_handlers.clear();
  m_in.clear();
  m_out.clear();
  m_inHead = m_outCount = 0;
  m_inPut = m_inTaken = 0;
  unlockReaders();
}

int ComPort::addCloseHook(std::function<void(bool)> hook) {
  std::lock_guard lock(m_hookMutex);
  m_closeHooks.emplace_back(m_nextHookId, std::move(hook));
  return m_nextHookId++;
}

void ComPort::removeCloseHook(int id) {
  std::lock_guard lock(m_hookMutex);
  std::erase_if(m_closeHooks, [id](const auto& h) { return h.first == id; });
}

void ComPort::runCloseHooks(bool destroying) {
  std::vector<std::pair<int, std::function<void(bool)>>> hooks;
  {
    std::lock_guard lock(m_hookMutex);
    hooks = m_closeHooks;
  }
  // Unlocked: a hook may remove itself or others.
  for (auto& [id, hook] : hooks)
    hook(destroying);
}

// Answers of read(2) and write(2) that say the device is gone for good:
// the far side of a pseudo-terminal closed, a USB device unplugged.
bool ComPort::deviceGoneAnswer(ssize_t n) {
  return n == -EIO || n == -ENXIO || n == -ENODEV;
}

// Marks the device gone: readers and the dispatcher are woken, and the
// dispatcher delivers TriggerDeviceLostMsg once. Called with m_mutex held.
void ComPort::noteDeviceLostLocked(int err) {
  if (m_deviceLost.exchange(true))
    return;
  m_lostError = err;
  static constexpr char kText[] = "device gone";
  logLocked(ltError, lsNote, static_cast<uint16_t>(err), reinterpret_cast<const uint8_t*>(kText),
            sizeof kText - 1);
  m_commEvent = true;
  m_dispatchCv.notify_all();
  m_inputCv.notify_all();
  m_stateCv.notify_all();
}

int ComPort::setLine(const LineSettings& line) {
  if (!isOpen())
    return ecCommNotOpen;
  return m_device.setLine(line);
}

int ComPort::getLine(LineSettings& line) {
  if (!isOpen())
    return ecCommNotOpen;
  return m_device.getLine(line);
}

int ComPort::setFlow(const FlowSettings& flow) {
  if (!isOpen())
    return ecCommNotOpen;
  return m_device.setFlow(flow);
}

void ComPort::setModemLines(bool dtr, bool rts) {
  if (isOpen())
    m_device.setModemLines(dtr, rts);
}

int ComPort::setOutSize(uint16_t size) {
  std::unique_lock lock(m_mutex);
  if (m_outCount != 0 || m_writerBusy)
    return ecOutputBufferTooSmall;
  try {
    m_out.assign(std::max<size_t>(size, 1), 0);
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  m_outHead = m_outTail = 0;
  return 0;
}

// ------------------------------------------------------------------ output

int ComPort::sendBlock(const uint8_t* data, size_t length) {
  if (!isOpen())
    return ecCommNotOpen;
  if (m_deviceLost)
    return ecDeviceWrite;
  bool wake = false, wroteNow = false;
  {
    std::unique_lock lock(m_mutex);
    if (length > m_out.size())
      return ecOutputBufferTooSmall;
    // A block that does not fit is refused whole: overwriting queued output
    // would corrupt what the modem receives.
    if (length > m_out.size() - m_outCount)
      return ecPutBlockFail;
    if (length == 0)
      return 0;
    if (m_trace && !m_tracePaused)
      m_trace->add('T', data, length);
    if (m_outCount == 0)
      m_outputProgressMs = platform::monotonicMs();
    const size_t first = std::min(length, m_out.size() - m_outHead);
    std::memcpy(&m_out[m_outHead], data, first);
    std::memcpy(&m_out[0], data + first, length - first);
    m_outHead = (m_outHead + length) % m_out.size();
    m_outCount += length;
    // While the writer thread is not itself writing, this thread writes as
    // much as the device takes without waiting: no hand-over to the writer
    // per block, which is woken only for what the device refuses.
    // A device found full is left to the writer, which waits for room.
    for (bool more = !m_deviceFull; more && m_outCount && !m_writerBusy && !m_discarding;) {
      const ssize_t n = writeQueued(lock);
      more = n > 0 && m_outCount;
      wroteNow = wroteNow || n > 0;
    }
    if (m_writerIdle && m_outCount) {
      m_writerIdle = false;
      wake = true;
    }
    wroteNow = wroteNow && !m_handlers.empty();
    m_outputChanged = m_outputChanged || wroteNow;
  }
  if (wake)
    signalFd(m_writerWake);
  if (wroteNow)
    m_dispatchCv.notify_all();
  return 0;
}

// Writes the contiguous part of the queue at its tail, taking the writer's
// part for the time of the device call, which runs unlocked. Called with
// `lock` held, something queued and no write in progress. Returns the
// device's answer; the queue has moved on by what was written.
ssize_t ComPort::writeQueued(std::unique_lock<std::mutex>& lock) {
  m_writerBusy = true;
  const size_t chunk = std::min(m_outCount, m_out.size() - m_outTail);
  const uint8_t* data = &m_out[m_outTail];
  const uint64_t generation = m_outGeneration;
  lock.unlock();
  const ssize_t n = m_device.write(data, chunk);
  lock.lock();
  m_writerBusy = false;
  m_stateCv.notify_all();
  // A discard meanwhile has emptied the queue; what was written is gone.
  if (generation != m_outGeneration)
    return n;
  m_deviceFull = n >= 0 && static_cast<size_t>(n) < chunk;
  if (deviceGoneAnswer(n)) {
    // Nothing queued can reach a device that has gone.
    noteDeviceLostLocked(static_cast<int>(-n));
    m_outHead = m_outTail = m_outCount = 0;
  } else if (n > 0)
    advanceOutputLocked(static_cast<size_t>(n));
  else if (platform::monotonicMs() - m_outputProgressMs >= static_cast<uint32_t>(kWriteTimeoutMs))
    advanceOutputLocked(chunk); // the device took nothing for a minute: drop the block
  return n;
}

// `n` bytes at the tail of the queue have gone to the device.
void ComPort::advanceOutputLocked(size_t n) {
  logLocked(ltDispatch, lsWriteCom, static_cast<uint16_t>(n), &m_out[m_outTail], n);
  m_outTail = (m_outTail + n) % m_out.size();
  m_outCount -= n;
  m_outputProgressMs = platform::monotonicMs();
}

int ComPort::outputCount() {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_outCount);
}

int ComPort::outputSize() {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_out.size());
}

int ComPort::outputSpace() {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_out.size() - m_outCount);
}

void ComPort::discardOutput() {
  if (!isOpen())
    return;
  std::unique_lock lock(m_mutex);
  m_discarding = true;
  uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(m_writerWake, &one, sizeof one);
  m_stateCv.wait(lock, [&] { return !m_writerBusy; });
  m_outHead = m_outTail = m_outCount = 0;
  m_deviceFull = false;
  ++m_outGeneration;
  m_device.purgeOutput();
  m_discarding = false;
  m_outputChanged = true;
  m_dispatchCv.notify_all();
}

// ---------------------------------------------------------------- triggers

int ComPort::addTimeTrigger() {
  std::lock_guard lock(m_mutex);
  return m_triggers.addTime();
}

int ComPort::addStateTrigger(int kind) {
  std::lock_guard lock(m_mutex);
  return m_triggers.addState(kind);
}

int ComPort::armTimeTrigger(int handle, int32_t ticks, bool enable) {
  std::lock_guard lock(m_mutex);
  int rc = m_triggers.armTime(handle, ticks, enable, platform::tickCount());
  m_dispatchCv.notify_all(); // the dispatcher recomputes its wait
  return rc;
}

int ComPort::armStateTrigger(int handle, uint16_t value, bool enable) {
  std::lock_guard lock(m_mutex);
  int rc = m_triggers.armState(handle, value, enable, m_modemStatus);
  m_outputChanged = true; // check the new condition at once
  m_dispatchCv.notify_all();
  return rc;
}

int ComPort::dropTrigger(int handle) {
  std::lock_guard lock(m_mutex);
  if (handle == 1) {
    m_triggerLength = 0;
    return 0;
  }
  return m_triggers.drop(handle);
}

int ComPort::stateTriggerKind(int handle) {
  std::lock_guard lock(m_mutex);
  return m_triggers.stateKindOf(handle);
}

void ComPort::setTriggerLength(uint16_t length) {
  std::lock_guard lock(m_mutex);
  m_triggerLength = length;
}

uint16_t ComPort::triggerLength() {
  std::lock_guard lock(m_mutex);
  return m_triggerLength;
}

int ComPort::addTriggerHandler(TriggerHandlerKind kind, TriggerProc proc,
                               std::function<bool()> filter) {
  auto e = std::make_shared<TriggerHandlerEntry>();
  e->kind = kind;
  e->proc = std::move(proc);
  e->filter = std::move(filter);
  std::lock_guard lock(m_mutex);
  e->id = m_nextHandlerId++;
  m_handlers.push_front(e);
  return e->id;
}

int ComPort::removeTriggerHandler(int id) {
  std::unique_lock lock(m_mutex);
  for (auto it = m_handlers.begin(); it != m_handlers.end(); ++it)
    if (auto e = *it; e->id == id && !e->removed) {
      // `e` is a copy: the delivery may unlink the entry while we wait.
      e->removed = true;
      // The caller may free what the handler uses as soon as this returns,
      // so wait for a call running on another thread to finish.
      m_stateCv.wait(lock,
                     [&] { return e->running == 0 || e->runner == std::this_thread::get_id(); });
      if (!m_delivering)
        unlinkRemovedLocked();
      return 0;
    }
  return ecBadHandle;
}

void ComPort::unlinkRemovedLocked() {
  m_handlers.remove_if([](const auto& e) { return e->removed.load(); });
}

bool ComPort::holdDispatch(bool hold) {
  std::lock_guard lock(m_mutex);
  bool previous = m_hold;
  m_hold = hold;
  if (!hold)
    m_dispatchCv.notify_all();
  return previous;
}

int ComPort::setUserData(int slot, void* data) {
  if (slot < 1 || slot > kUserSlots)
    return ecBadArgument;
  std::lock_guard lock(m_mutex);
  m_userData[slot - 1] = data;
  return 0;
}

void* ComPort::getUserData(int slot) {
  if (slot < 1 || slot > kUserSlots)
    return nullptr;
  std::lock_guard lock(m_mutex);
  return m_userData[slot - 1];
}

bool ComPort::carrierPresent() {
  return (modemStatus() & msrDCD) != 0;
}

uint8_t ComPort::modemStatus() {
  return isOpen() ? m_device.modemStatus() : 0;
}

uint16_t ComPort::takeLineErrors() {
  std::lock_guard lock(m_mutex);
  uint16_t e = m_lineErrors;
  m_lineErrors = 0;
  return e;
}

SavedTriggerState ComPort::saveTriggers() {
  std::lock_guard lock(m_mutex);
  SavedTriggerState s;
  s.triggers = m_triggers;
  s.triggerLength = m_triggerLength;
  for (auto& e : m_handlers)
    if (!e->removed)
      s.handlers.push_back(e);
  s.userData = m_userData;
  return s;
}

void ComPort::restoreTriggers(SavedTriggerState state) {
  std::lock_guard lock(m_mutex);
  m_triggers = state.triggers;
  m_triggerLength = state.triggerLength;
  for (auto it = state.handlers.rbegin(); it != state.handlers.rend(); ++it) {
    m_handlers.push_front(*it);
    m_nextHandlerId = std::max(m_nextHandlerId, (*it)->id + 1);
  }
  m_userData = state.userData;
  m_dispatchCv.notify_all();
}

} // namespace serial
