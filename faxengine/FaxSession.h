#pragma once
// The running fax call: the triggers it owns on the port, the state machine
// registered as the port's procedure handler, the events carried to the main
// thread, and the services every class's state machine uses (commands,
// timers, response lines, hang-up).
//
// A class's state machine is a FaxMachine: the session calls Handle for each
// of its own triggers and for an abort, always on the port's dispatcher
// thread, one call at a time.

#include "faxengine/FaxRecord.h"
#include "faxengine/ResponseLine.h"
#include "serial/ComPort.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace faxengine {

// What a fax component does with the session's events; called on the main
// thread (by a blocking send with a 1000 ms limit, Finish by a post).
class FaxEventSink {
public:
  virtual ~FaxEventSink() = default;
  virtual void FaxStatusEvent(bool first, bool last) = 0;
  virtual void FaxLogEvent(int logCode) = 0;
  virtual void FaxErrorEvent(int errorCode) = 0;
  virtual void FaxFinishEvent(int errorCode) = 0;
  // Send side: the next fax of the job into the record; false = job over.
  virtual bool FaxNextEvent() { return false; }
  // Receive side: the name of the file about to be received (into the record).
  virtual void FaxNameEvent() {}
  // Receive side: whether to take the fax.
  virtual bool FaxAcceptEvent() { return true; }
};

class FaxSession;

// A class's state machine.
class FaxMachine {
public:
  virtual ~FaxMachine() = default;
  // msg is TriggerAvailMsg (trigger = bytes waiting), TriggerTimerMsg or
  // TriggerStatusMsg (trigger = the handle, data = the trigger's data), or
  // kFaxAbortMsg; 0 starts the machine in its first state.
  virtual void Handle(uint32_t msg, int trigger, uint16_t data) = 0;
  // True once the final state is reached; later calls are ignored.
  virtual bool Done() const = 0;
};

// Factories of the machines. Class 2 / 2.0 machines serve both dialects.
std::unique_ptr<FaxMachine> MakeClass2SendMachine(FaxSession& session);
std::unique_ptr<FaxMachine> MakeClass2ReceiveMachine(FaxSession& session);
std::unique_ptr<FaxMachine> MakeClass1SendMachine(FaxSession& session);
std::unique_ptr<FaxMachine> MakeClass1ReceiveMachine(FaxSession& session);

class FaxSession {
public:
  FaxSession(serial::ComPort& port, FaxRecord& rec, ProtocolRecord& proto, FaxEventSink& sink,
             bool sending);
  ~FaxSession();
  FaxSession(const FaxSession&) = delete;
  FaxSession& operator=(const FaxSession&) = delete;

  // Main thread. Allocates the triggers (-5001 when the port has none left),
  // stores the session in the port's user slot, runs the machine's first
  // state and registers it as a procedure handler. On failure the session
  // reports Error and Finish itself and returns the code.
  int Start(std::unique_ptr<FaxMachine> machine);
  // Any thread: the machine sees kFaxAbortMsg on the dispatcher thread.
  void Abort();
  // Main thread, when the port closes or goes away under the call: waits
  // for a machine call in progress, lets go of the port (handler, triggers,
  // user slot) and posts Finish with -2007. The port is not touched again.
  void Detach();
  bool Running() const { return m_running.load(); }
  // Events are delivered only while the token's owner lives (the component
  // may be destroyed before a posted Finish runs).
  void SetLifeToken(std::weak_ptr<void> token) { m_life = std::move(token); }
  bool Sending() const { return m_sending; }

  // ----- for the state machines (dispatcher thread)
  serial::ComPort& Port() { return m_port; }
  FaxRecord& Rec() { return m_rec; }
  ProtocolRecord& Proto() { return m_proto; }
  bool AbortRequested() const { return m_abort.load(); }
  // The modem has vanished from the port: nothing more reaches it.
  bool PortLost() const { return m_port.deviceLost(); }
  // Copies what the main thread reads during the call into the record's
  // published part (before every event and at the finish).
  void Publish();
  // The handle is one of the call's own triggers.
  bool OwnTrigger(uint32_t msg, int trigger) const;

  // A changed code is reported at once: the periodic report alone would
  // miss every step shorter than the status interval (a short page's data,
  // the last page's confirmation).
  void SetStatus(int code);
  // Events, each a blocking send to the main thread (1000 ms limit).
  void Status(bool first, bool last);
  void Log(int logCode);
  // Stores the code as the last error and reports it.
  void Error(int errorCode);
  bool NextFax();
  void RequestName();
  bool AcceptFax();
  // Final: frees the triggers, unregisters the machine, clears the
  // initialised flag and posts Finish with the last error.
  void Finish();

  // Waits 100 ms, then sends the text and a CR.
  void SendCommand(const std::string& command);
  void SendText(const std::string& text);
  void ArmTimeout(int32_t ticks);
  void DisarmTimeout();
  void ArmStatusTimer();
  void ArmOutputSpace(uint16_t bytes);
  void ArmOutputUsed(uint16_t bytes);

  // Response intake: reads bytes into the line buffer until a line ends;
  // returns true with a trimmed, non-empty line, false when input runs out.
  bool ReadLine(std::string& line);
  void ClearLineBuffer() { m_lines.Clear(); }
  // Notes the machine's new state in the port's log (when it records).
  void NoteState(int state, const char* name);

  // Ends page data the modem is taking in mid-stream: what is queued for
  // it is thrown away, DLE ETX closes the stream and the modem's result is
  // awaited; then `abortCommand` (when given) ends the session on the line.
  void CloseDataStream(const char* abortCommand);
  // Waits up to `ms` for a final result line (OK, ERROR, NO CARRIER);
  // true for OK.
  bool AwaitResult(int ms) { return AwaitReply("OK", ms); }
  // The same with another answer than OK counting as success (CONNECT).
  bool AwaitReply(const char* wanted, int ms);
  // Leaves the modem a data modem (AT+FCLASS=0) for the next program.
  void RestoreDataMode();
  // Hang-up sequences (about 3 s; they block the dispatcher).
  void HangUpSend();
  void HangUpReceive();
  // Discards input and output, drops DTR and RTS for 500 ms, raises them.
  void DtrReset();
  // Switches the port's line speed (after the 9 ms settling delay); 0 = keep.
  void SwitchBaud(int32_t baud);

  static void DelayMs(int ms);
  // Off, the fixed delays return at once (for driving a machine with
  // generated input, where waiting only slows the run down).
  static void EnableDelays(bool enabled);

private:
  void OnTrigger(uint32_t msg, uint32_t wParam, int32_t lParam);
  void FreeTriggers();
  void PostFinish(int error);
  bool SendToMain(const std::function<void()>& fn);

  serial::ComPort& m_port;
  FaxRecord& m_rec;
  ProtocolRecord& m_proto;
  FaxEventSink& m_sink;
  bool m_sending;
  std::unique_ptr<FaxMachine> m_machine;
  int m_handlerId = 0;
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_abort{false};
  std::atomic<bool> m_detached{false};
  std::mutex m_callMutex; // one machine call at a time
  ResponseLineBuffer m_lines;
  std::weak_ptr<void> m_life;
  bool m_abortDelivered = false;
  bool m_finished = false;
};

// Commands and parsing shared by the machines.
// Expands the header-line macros ($D $T $I $F $R $S $N $P) of `line`.
struct HeaderValues {
  std::string date, time, stationId, sender, recipient, title;
  int totalPages = 0;
  int pageNumber = 0;
};
std::string ExpandHeaderMacros(const std::string& line, const HeaderValues& values);

} // namespace faxengine
