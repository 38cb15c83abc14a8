#pragma once
// Parts shared by the Class 1 send and receive machines: response intake
// that also takes the T.30 frames the modem passes on (address byte first,
// ended by DLE ETX), the loop rule, and the modem's modulation commands.

#include "faxengine/FaxSession.h"
#include "faxengine/T30Frames.h"

#include <string>

namespace faxengine {

struct Class1Event {
  bool timeout = false;
  bool outSpace = false;
  bool outUsed = false;
  bool input = false;
  bool hasLine = false;
  std::string line;
  bool Has(const char* word) const { return hasLine && line.find(word) != std::string::npos; }
};

class Class1MachineBase : public FaxMachine {
public:
  explicit Class1MachineBase(FaxSession& session)
      : m_s(session), m_rec(session.Rec()), m_proto(session.Proto()) {}

  void Handle(uint32_t msg, int trigger, uint16_t data) override;
  bool Done() const override { return m_state == FinalState(); }
  int State() const { return m_state; }

protected:
  enum class Kind { Action, Line, Trigger };
  enum class Loop { AtOnce, Return, WhileInput };

  virtual int FinalState() const = 0;
  virtual int FailureState() const = 0;
  virtual Kind KindOf(int state) const = 0;
  virtual Loop LoopAfter(int state) const = 0;
  virtual void Step(Class1Event& ev) = 0;
  // A complete received frame (the modem's OK or ERROR on it follows).
  virtual void OnFrame(const t30::Frame& frame) = 0;

  void Fail(int error) {
    m_s.Error(error);
    m_state = FailureState();
  }
  void DrainInput();
  // Waits `delayMs`, then 40 ms, sends the command with CR and arms the
  // response timeout. A receive command forgets the last frame.
  void Modulation(const std::string& command, int delayMs = 0);
  void ListenHdlc(int delayMs = 0) { Modulation("AT+FRH=3", delayMs); }
  void TalkHdlc(int delayMs = 0) { Modulation("AT+FTH=3", delayMs); }
  // Sends a frame after the 20 ms pause frames need.
  void SendFrame(const std::vector<uint8_t>& bytes);
  // The OK that follows a received frame: true when it was final.
  bool LastFinal() const { return m_haveFrame && m_lastFinal; }
  t30::FrameKind LastKind() const { return t30::KindOfFcf(m_lastFcf); }
  std::string Code() const { return t30::CodeOfIndex(m_index); }
  // Page data after a training check at V.17 speeds goes with the short
  // training the check has prepared the receiver for.
  std::string PageCode() const { return t30::PageCodeOfIndex(m_index); }

  FaxSession& m_s;
  FaxRecord& m_rec;
  ProtocolRecord& m_proto;
  int m_state = 1;
  bool m_aborted = false;
  int m_index = 1; // the negotiated modulation
  t30::SpeedSet m_local;

private:
  // Reads response bytes: true with a line; frames go to OnFrame on the way.
  bool ReadResponse(std::string& line);

  std::string m_lineBuffer;
  bool m_inFrame = false;
  t30::FrameReader m_reader;
  bool m_haveFrame = false, m_lastFinal = false;
  uint8_t m_lastFcf = 0;
};

} // namespace faxengine
