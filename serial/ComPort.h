#pragma once
// One open serial port at the port level: the device, the dispatch buffer of
// 8192 bytes filled from the device, the output ring of OutSize bytes drained
// to it, the triggers and their handlers, the trace and the dispatch log.
// Every operation returns 0 (or a value) or a negative code.
//
// Threads: the event thread waits for input and reads it into the dispatch
// buffer, the dispatcher thread delivers triggers (procedure handlers run
// there), the writer thread writes the ring to the device. To spare hand-overs
// between threads, a sending thread writes what the device takes at once, and
// a reader waiting for input watches the device itself, reading input and
// writing refused output as the device allows; the event and writer threads
// keep off the device meanwhile. One lock guards the buffers and tables and is
// never held across a device wait or a handler call.
//
// The dispatch buffer is read without that lock: one device read at a time
// appends under the port lock, readers take bytes under a flag of their own,
// and two atomic byte totals hand room and data between them. A reader taking
// one byte at a time thus never contends with the thread that reads the
// device. A thread that goes on reading alone is lent the input outright and
// reads without even the flag's exchange; the next other reader takes it back.

#include "platform/FxErrors.h"
#include "serial/ComTypes.h"
#include "serial/DispatchLog.h"
#include "serial/SerialDevice.h"
#include "serial/TraceBuffer.h"
#include "serial/TriggerTable.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace serial {

struct PortConfig {
  std::string devicePath;
  uint16_t inSize = 4096;
  uint16_t outSize = 4096;
  LineSettings line;
};

struct TriggerHandlerEntry;

// A reader thread's mark of being inside readByte on input lent to it. Each
// thread that is ever lent input gets a mark of its own for the life of the
// process, written by that thread only: a thread that finds its loan gone
// cannot disturb the mark of the next holder, and a mark outlives its thread.
struct alignas(64) LentReaderMark {
  std::atomic<bool> inside{false};
};
// This thread's mark, claimed when input is first lent to it.
inline thread_local LentReaderMark* t_lentReaderMark = nullptr;
// A fresh mark, or nullptr once all are taken (the thread then reads shared).
LentReaderMark* claimLentReaderMark();

// What survives a close for the next open of the same component.
struct SavedTriggerState {
  TriggerTable triggers;
  uint16_t triggerLength = 1;
  std::list<std::shared_ptr<TriggerHandlerEntry>> handlers;
  std::array<void*, kUserSlots> userData{};
};

class ComPort {
public:
  ComPort() = default;
  ~ComPort() {
    runCloseHooks(true);
    close();
  }
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

  // Claims a port-table slot, opens the device and starts the threads.
  // Returns the port handle (1..50) or a negative code; on failure nothing
  // stays open.
  int open(const PortConfig& config);
  void close();
  bool isOpen() const { return m_handle > 0; }
  // True once the open device has gone (see TriggerDeviceLostMsg): nothing
  // is read from or written to it any more, output is refused with -160.
  bool deviceLost() const { return m_deviceLost.load(); }
  // Hooks run on the closing thread before the port closes (destroying:
  // the port object itself goes away), so that users of the port can let
  // go of it. A hook may remove itself.
  int addCloseHook(std::function<void(bool destroying)> hook);
  void removeCloseHook(int id);
  void runCloseHooks(bool destroying);
  int handle() const { return m_handle; }
  const std::string& devicePath() const { return m_device.path(); }

  // Line, queue and flow settings of the open device.
  int setLine(const LineSettings& line);
  int getLine(LineSettings& line);
  int setFlow(const FlowSettings& flow);
  void setModemLines(bool dtr, bool rts);
  int setOutSize(uint16_t size); // only while the ring is empty
  void setInSize(uint16_t size) { m_inSize = size; }

  // Output.
  int sendBlock(const uint8_t* data, size_t length);
  int sendByte(uint8_t byte) { return sendBlock(&byte, 1); }
  int outputCount();
  int outputSpace();
  // The size of the output queue.
  int outputSize();
  void discardOutput();

  // Input.
  bool inputWaiting();
  int readByte(uint8_t& byte); // -3007 when empty; inline below
  int inputCount();
  void discardInput();
  // Waits until input arrives or `ms` pass; true when input is waiting.
  // The waiting thread watches the device itself and reads what arrives, so
  // a reader learns of input without a hand-over from the event thread.
  bool waitForInput(int ms);

  // Triggers.
  int addTimeTrigger();
  int addStateTrigger(int kind);
  int armTimeTrigger(int handle, int32_t ticks, bool enable);
  int armStateTrigger(int handle, uint16_t value, bool enable);
  int dropTrigger(int handle);
  int stateTriggerKind(int handle);
  void setTriggerLength(uint16_t length);
  uint16_t triggerLength();
  // A filter, when given, is asked before each window delivery; a handler
  // whose owner has no interest in triggers then costs no main-thread round trip.
  int addTriggerHandler(TriggerHandlerKind kind, TriggerProc proc,
                        std::function<bool()> filter = {});
  int removeTriggerHandler(int id);
  bool holdDispatch(bool hold);
  // Triggers delivered since the port opened: how often the dispatcher
  // woke a handler (a handler re-armed to fire at once shows as a flood).
  uint64_t triggersDelivered() const { return m_delivered.load(); }

  int setUserData(int slot, void* data);
  void* getUserData(int slot);

  bool carrierPresent();
  uint8_t modemStatus();
  uint16_t takeLineErrors();

  // Trace and log: the buffers exist while recording or paused.
  void startTrace(int entries);
  void stopTrace();
  void pauseTrace(bool pause);
  void clearTrace();
  int dumpTrace(const std::string& path, bool append, bool hex);
  void startLog(int bytes);
  void stopLog();
  void pauseLog(bool pause);
  void clearLog();
  // A line of text from the port's user into the log, when it records.
  void logNote(const std::string& text);
  int dumpLog(const std::string& path, bool append, bool hex);

  SavedTriggerState saveTriggers();
  void restoreTriggers(SavedTriggerState state);

private:
  void startThreads();
  void stopThreads();
  void eventLoop();
  void dispatchLoop();
  void writerLoop();
  ssize_t readInput();
  ssize_t readInputLocked();
  bool waitForInputCv(int ms);
  bool watchDeviceForInput(std::chrono::steady_clock::time_point deadline);
  bool readersWatching() const;
  bool outputWaitsForRoom();
  void writeWhatTheDeviceTakes();
  static constexpr int kStandAsideMs = 2;
  void appendInputLocked(const uint8_t* buf, size_t n);
  ssize_t writeQueued(std::unique_lock<std::mutex>& lock);
  void advanceOutputLocked(size_t n);
  size_t inCount() const;
  void lockReaders();
  void unlockReaders() { m_readerBusy.store(false, std::memory_order_release); }
  int readByteShared(uint8_t& byte);
  void takeBackLentInput(LentReaderMark* holder);
  void noteSharedReader();
  void wakeStalledInput(uint64_t waiting);
  static const void* readerToken() {
    static thread_local char token;
    return &token;
  }
  void refreshStatus();
  static bool deviceGoneAnswer(ssize_t n);
  void noteDeviceLostLocked(int err);
  void deliverAll();
  bool takeFiredLocked(FiredTrigger& fired);
  void deliver(const FiredTrigger& fired);
  void callHandler(const std::shared_ptr<TriggerHandlerEntry>& e, uint32_t msg, uint32_t w,
                   int32_t l);
  void unlinkRemovedLocked();
  void logLocked(uint8_t type, uint8_t sub, uint16_t data, const uint8_t* bytes = nullptr,
                 size_t n = 0);
  PortLevels levelsLocked();
  bool writeChunk();
  uint32_t msSinceOpen() const;

  int m_handle = 0;
  SerialDevice m_device;
  uint16_t m_inSize = 4096;
  uint32_t m_openedMs = 0;

  std::mutex m_mutex;
  std::condition_variable m_dispatchCv; // comm event ready, output changed, stop
  std::condition_variable m_inputCv;    // input arrived (WaitForText)
  std::condition_variable m_stateCv;    // writer idle, handler finished

  // Dispatch buffer.
  std::vector<uint8_t> m_in;
  // Readers are kept one at a time by a spin flag (taken before m_mutex):
  // cheaper per byte than a mutex, and only held for a few instructions.
  std::atomic<bool> m_readerBusy{false};
  // The mark of the thread the input is lent to; see readByte and
  // takeBackLentInput. Shared reads are counted by readerToken.
  std::atomic<LentReaderMark*> m_inputLentTo{nullptr};
  const void* m_lastSharedReader = nullptr; // under m_readerBusy
  unsigned m_sharedReadsInARow = 0;         // under m_readerBusy
  size_t m_inHead = 0;                      // ring position of the next byte in, under m_mutex
  // Bytes ever put in and taken out: the producer publishes with m_inPut,
  // readers free room with m_inTaken; their difference is the count.
  std::atomic<uint64_t> m_inPut{0}, m_inTaken{0};
  uint64_t m_totalIn = 0, m_lastAvailTotal = 0;
  // One device read at a time, by the event thread or a waiting reader; it
  // covers the read and the append, so the free space a read is sized by
  // cannot shrink under it and DiscardInput cannot fall between them. Taken
  // before the reader flag and m_mutex.
  std::mutex m_readMutex;
  std::atomic<int> m_watchingReaders{0};  // readers polling the device
  std::atomic<uint32_t> m_lastWatchMs{0}; // when the last of them left
  int m_inputWake = -1;                   // eventfd: input appended while readers watch
  bool m_closing = true;                  // no device to watch; under m_readMutex
  std::atomic<bool> m_inputStalled{false};
  std::atomic<bool> m_traceReads{false}; // trace recording, so reads take m_mutex

  // Output ring.
  std::vector<uint8_t> m_out;
  size_t m_outHead = 0, m_outTail = 0, m_outCount = 0;
  uint64_t m_outGeneration = 0;
  uint32_t m_outputProgressMs = 0; // when the device last took queued output
  bool m_deviceFull = false;       // the last write was cut short
  bool m_writerIdle = false, m_writerBusy = false, m_discarding = false;

  // Triggers.
  TriggerTable m_triggers;
  uint16_t m_triggerLength = 1;
  std::list<std::shared_ptr<TriggerHandlerEntry>> m_handlers;
  int m_nextHandlerId = 1;
  bool m_hold = false, m_delivering = false;
  std::array<void*, kUserSlots> m_userData{};
  std::atomic<uint64_t> m_delivered{0};
  std::atomic<bool> m_deviceLost{false};
  bool m_lostDelivered = false; // under m_mutex
  int m_lostError = 0;          // under m_mutex
  std::mutex m_hookMutex;
  std::vector<std::pair<int, std::function<void(bool)>>> m_closeHooks;
  int m_nextHookId = 1;
  uint8_t m_modemStatus = 0;
  uint16_t m_lineErrors = 0;

  // Trace and log.
  std::unique_ptr<TraceBuffer> m_trace;
  bool m_tracePaused = false;
  std::unique_ptr<DispatchLog> m_log;
  bool m_logPaused = false;

  // Threads.
  std::thread m_eventThread, m_dispatchThread, m_writerThread;
  int m_eventWake = -1, m_writerWake = -1;
  bool m_stop = false, m_commEvent = false, m_outputChanged = false;
};

// The reader the input is lent to takes bytes with plain loads and stores.
// Its "inside" mark is stored before it looks at the loan again, and only
// the compiler is kept from swapping the two: a thread taking the loan back
// forces a memory barrier on every thread of the process before it reads the
// mark (takeBackLentInput), so that either the mark is seen there or the
// withdrawn loan is seen here. Always inlined: a byte must not cost a call.
__attribute__((always_inline)) inline int ComPort::readByte(uint8_t& byte) {
  static_assert((kDispatchBufferSize & (kDispatchBufferSize - 1)) == 0);
  LentReaderMark* me = t_lentReaderMark;
  if (!me || m_inputLentTo.load(std::memory_order_relaxed) != me)
    return readByteShared(byte);
  me->inside.store(true, std::memory_order_relaxed);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (m_inputLentTo.load(std::memory_order_relaxed) != me ||
      m_traceReads.load(std::memory_order_relaxed)) {
    me->inside.store(false, std::memory_order_release);
    return readByteShared(byte);
  }
  const uint64_t taken = m_inTaken.load(std::memory_order_relaxed);
  const uint64_t put = m_inPut.load(std::memory_order_acquire);
  if (put != taken) {
    byte = m_in.data()[taken & (kDispatchBufferSize - 1)];
    m_inTaken.store(taken + 1, std::memory_order_release);
  }
  me->inside.store(false, std::memory_order_release);
  if (m_inputStalled.load(std::memory_order_relaxed))
    wakeStalledInput(put - taken);
  return put != taken ? 0 : ecBufferIsEmpty;
}

// The open port with a handle (1..50), or nullptr.
ComPort* portFromHandle(int handle);

} // namespace serial
