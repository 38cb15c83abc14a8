#pragma once
// The base of every fax machine (send and receive, Class 1, 2 and 2.0): the
// event of one machine call, and the driver that turns triggers into events,
// reads response lines for the states that wait for one, and applies the
// loop rule that says whether the next state runs in the same call.

#include "faxengine/FaxSession.h"

#include <span>
#include <string>

namespace faxengine {

// What one machine call brings to the current state.
struct MachineEvent {
  bool timeout = false;  // the timeout time trigger fired
  bool outSpace = false; // the output-space state trigger fired
  bool outUsed = false;  // the output-used state trigger fired
  bool input = false;    // input arrived (avail notification)
  bool hasLine = false;  // a response line arrived
  std::string line;
  bool Has(const char* word) const { return hasLine && line.find(word) != std::string::npos; }
  bool Has(const std::string& word) const {
    return hasLine && !word.empty() && line.find(word) != std::string::npos;
  }
};

// Action states run at once; line states wait for a response line;
// trigger states wait for a trigger (and read their own input).
enum class StateKind { Action, Line, Trigger };
// After a state: run the next one at once, return to the dispatcher, or
// go on while input waits (or the state just changed).
enum class StateLoop { AtOnce, Return, WhileInput };

// One state of a machine: its number, the name the port's log shows, what
// it waits for and whether the machine goes on at once after it. Each
// machine has a table of the states it uses.
struct StateInfo {
  int number;
  const char* name;
  StateKind kind;
  StateLoop loop;
};

class ModemMachine : public FaxMachine {
public:
  explicit ModemMachine(FaxSession& session)
      : m_s(session), m_rec(session.Rec()), m_proto(session.Proto()) {}

  void Handle(uint32_t msg, int trigger, uint16_t data) override;
  bool Done() const override { return m_state == FinalState(); }
  int State() const { return m_state; }

  // The state's name in the machine's table ("?" for a number it lacks).
  const char* StateName(int state) const;

protected:
  using Kind = StateKind;
  using Loop = StateLoop;

  virtual int FinalState() const = 0;
  virtual int FailureState() const = 0;
  // The machine's table of states.
  virtual std::span<const StateInfo> States() const = 0;
  Kind KindOf(int state) const;
  Loop LoopAfter(int state) const;
  virtual void Step(MachineEvent& ev) = 0;
  // Reads response bytes: true with a line. The Class 1 intake also takes
  // frames on the way, which may move the machine.
  virtual bool ReadResponse(std::string& line) { return m_s.ReadLine(line); }
  // Screening of a line in every state; true when it moved the machine.
  virtual bool Screen(const std::string& /*line*/) { return false; }

  void Fail(int error) {
    m_failedIn = m_state;
    m_s.Error(error);
    m_state = FailureState();
  }
  void DrainInput();

  FaxSession& m_s;
  FaxRecord& m_rec;
  ProtocolRecord& m_proto;
  int m_state = 1;
  bool m_aborted = false;
  int m_failedIn = 0; // the state the last failure came in

private:
  MachineEvent EventOf(uint32_t msg, int trigger);
};

} // namespace faxengine
