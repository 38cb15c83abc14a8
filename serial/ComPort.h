#pragma once
// One open serial port at the port level: the device, the dispatch buffer of
// 8192 bytes filled by the dispatcher, the output ring of OutSize bytes
// drained by the writer, the triggers and their handlers, the trace and the
// dispatch log. Every operation returns 0 (or a value) or a negative code.
//
// Threads: the event thread waits for input and reads it into the dispatch
// buffer, the dispatcher thread delivers triggers (procedure handlers run
// there), the writer thread writes the ring to the device. One lock guards the buffers and tables
// and is never held across a device wait or a handler call.
//
// The dispatch buffer is read without that lock: the event thread is its only
// producer and appends under the port lock, readers take bytes under a flag of
// their own, and two atomic byte totals hand room and data between them. A
// reader taking one byte at a time thus never contends with the event thread.

#include "serial/ComTypes.h"
#include "serial/DispatchLog.h"
#include "serial/SerialDevice.h"
#include "serial/TraceBuffer.h"
#include "serial/TriggerTable.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
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
  ~ComPort() { close(); }
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

  // Claims a port-table slot, opens the device and starts the threads.
  // Returns the port handle (1..50) or a negative code; on failure nothing
  // stays open.
  int open(const PortConfig& config);
  void close();
  bool isOpen() const { return m_handle > 0; }
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
  void discardOutput();

  // Input.
  bool inputWaiting();
  int readByte(uint8_t& byte); // -3007 when empty
  int inputCount();
  void discardInput();
  // Waits until input arrives or `ms` pass; true when input is waiting.
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
  int dumpLog(const std::string& path, bool append, bool hex);

  SavedTriggerState saveTriggers();
  void restoreTriggers(SavedTriggerState state);

private:
  void startThreads();
  void stopThreads();
  void eventLoop();
  void dispatchLoop();
  void writerLoop();
  void readInput();
  void appendInputLocked(const uint8_t* buf, size_t n);
  bool writeNowLocked(const uint8_t*& data, size_t& length);
  size_t inCount() const;
  void lockReaders();
  void unlockReaders() { m_readerBusy.store(false, std::memory_order_release); }
  void refreshStatus();
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
  size_t m_inHead = 0; // ring position of the next byte in, under m_mutex
  size_t m_inTail = 0; // ring position of the next byte out, under m_readerBusy
  // Bytes ever put in and taken out: the producer publishes with m_inPut,
  // readers free room with m_inTaken; their difference is the count.
  std::atomic<uint64_t> m_inPut{0}, m_inTaken{0};
  uint64_t m_totalIn = 0, m_lastAvailTotal = 0;
  std::atomic<bool> m_inputStalled{false};
  std::atomic<bool> m_traceReads{false}; // trace recording, so reads take m_mutex

  // Output ring.
  std::vector<uint8_t> m_out;
  size_t m_outHead = 0, m_outTail = 0, m_outCount = 0;
  uint64_t m_outGeneration = 0;
  bool m_writerIdle = false, m_writerBusy = false, m_discarding = false;

  // Triggers.
  TriggerTable m_triggers;
  uint16_t m_triggerLength = 1;
  std::list<std::shared_ptr<TriggerHandlerEntry>> m_handlers;
  int m_nextHandlerId = 1;
  bool m_hold = false, m_delivering = false;
  std::array<void*, kUserSlots> m_userData{};
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
  bool m_lastReadEmpty = false;
};

// The open port with a handle (1..50), or nullptr.
ComPort* portFromHandle(int handle);

} // namespace serial
