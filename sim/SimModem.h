#pragma once
// One simulated fax modem: a pseudo-terminal, the AT front end, the engines
// of the classes its model can do, and its place on the phone line. It also
// carries the modem's own misbehaviour (late, silent, garbled responses).

#include "sim/AtFrontEnd.h"
#include "sim/Class1Engine.h"
#include "sim/LineParty.h"
#include "sim/PtyPort.h"
#include "sim/SimConfig.h"

#include <deque>
#include <memory>
#include <string>

namespace tolvane::sim {

class SimModem : public LineParty {
public:
  // The pty is optional so that tests can drive the modem directly.
  SimModem(const ModemConfig& config, CallControl& line, bool withPty = true);
  ~SimModem() override;

  const ModemConfig& config() const { return m_config; }
  PtyPort* pty() { return m_pty.get(); }
  AtFrontEnd& frontEnd() { return *m_frontEnd; }

  // Bytes as if written by the DTE.
  void dteInput(const uint8_t* data, size_t len);
  // Output for the DTE that is due now; consumed by the caller.
  std::string takeDueOutput();

  // Reads the pty (if the front end wants input), writes due output, and
  // notices a client that has gone or come. Call after poll().
  void service();
  // Whether service() wants to be woken for input on the pty.
  bool wantsRead() const;
  bool hasDueOutput() const;
  // One block of line time has passed.
  void tick(int64_t nowSamples);

  int lineTx(int16_t* amp, int maxSamples) override;
  void lineRx(const int16_t* amp, int samples) override;
  void onRing() override;
  void onCallAnswered() override;
  void onCallConnected() override;
  void onCallFailed(CallFailure why) override;
  void onFarEndHangup() override;

private:
  void output(const uint8_t* data, size_t len);
  void event(CallEvent e);

  ModemConfig m_config;
  CallControl& m_line;
  std::unique_ptr<PtyPort> m_pty;
  std::unique_ptr<AtFrontEnd> m_frontEnd;
  std::unique_ptr<Class1Engine> m_class1;
  std::unique_ptr<ModemEngine> m_class2;
  std::unique_ptr<ModemEngine> m_class20;
  struct Chunk {
    int64_t due;
    std::string bytes;
  };
  std::deque<Chunk> m_out;
  size_t m_outBytes = 0;
  int64_t m_now = 0;
  bool m_clientPresent = false;
};

} // namespace tolvane::sim
