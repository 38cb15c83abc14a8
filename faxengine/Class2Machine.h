#pragma once
// Parts shared by the Class 2 / 2.0 send and receive machines: the event of
// one machine call, and the driver that reads response lines and applies the
// loop rule.

#include "faxengine/FaxSession.h"

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

class Class2MachineBase : public FaxMachine {
public:
  explicit Class2MachineBase(FaxSession& session)
      : m_s(session), m_rec(session.Rec()), m_proto(session.Proto()),
        m_is20(session.Rec().faxClass == fcClass2_0) {}

  void Handle(uint32_t msg, int trigger, uint16_t data) override;
  bool Done() const override { return m_state == FinalState(); }
  int State() const { return m_state; }

protected:
  enum class Loop { AtOnce, Return, WhileInput };
  // Action states run at once; line states wait for a response line;
  // trigger states wait for a trigger (and read their own input).
  enum class Kind { Action, Line, Trigger };

  virtual int FinalState() const = 0;
  virtual int FailureState() const = 0;
  virtual Kind KindOf(int state) const = 0;
  // Screening of a line in every state; true when it moved the machine.
  virtual bool Screen(const std::string& line) = 0;
  virtual void Step(MachineEvent& ev) = 0;
  virtual Loop LoopAfter(int state) const = 0;

  void Fail(int error) {
    m_s.Error(error);
    m_state = FailureState();
  }
  void DrainInput();
  std::string OkOrFail(const MachineEvent& ev, int error);

  FaxSession& m_s;
  FaxRecord& m_rec;
  ProtocolRecord& m_proto;
  bool m_is20;
  int m_state = 1;
  bool m_aborted = false;
};

} // namespace faxengine
