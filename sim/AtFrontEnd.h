#pragma once
// The AT command interpreter of a simulated fax modem as the DTE sees it:
// echo, result codes, S registers, reset, identification, the +++ escape and
// AT+FCLASS. Everything else goes to the engine of the current class: T.31
// for classes 0 and 1, the Class 2 / 2.0 engine for 2 and 2.0.

#include "sim/AtParser.h"
#include "sim/ModemEngine.h"
#include "sim/SimConfig.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace tolvane::sim {

class AtFrontEnd {
public:
  using Output = std::function<void(const uint8_t*, size_t)>;

  // class1 serves classes 0 and 1; class2 and class20 may be null when the
  // model (or the build) lacks them.
  AtFrontEnd(ModemModel model, Output output);
  void setEngines(ModemEngine* class1, ModemEngine* class2, ModemEngine* class20);

  // Bytes from the DTE. They are kept and fed on as the engine's flow
  // control allows (see pump()).
  void dteInput(const uint8_t* data, size_t len);
  // Feeds kept DTE bytes; call again whenever the engine may have become
  // ready. Returns true while bytes are still waiting.
  bool pump();
  // True when the front end can take more DTE bytes without piling up.
  bool wantsInput() const { return m_pending.empty(); }

  // Bytes an engine sends to the DTE go through here, so that the front end
  // can hold them back while it resets the engine.
  void engineOutput(const uint8_t* data, size_t len) { m_output(data, len); }

  // Line time in samples, for the +++ guard time.
  void tick(int64_t nowSamples);

  // An incoming call rings: prints RING and answers on the S0-th ring.
  void ring();
  // The DTE went away (pty closed): like dropping DTR, hang up and reset.
  void dteGone();
  // Engine of the current class, for line events and audio.
  ModemEngine* engine() const;
  const std::string& fclass() const { return m_class; }
  uint8_t sRegister(int n) const { return m_s[static_cast<size_t>(n)]; }

private:
  void commandByte(uint8_t byte);
  void dataBytes(const uint8_t* data, size_t len);
  void executeLine(const std::string& body);
  CommandOutcome execute(const AtCommand& cmd);
  CommandOutcome sRegisterCommand(const std::string& arg);
  CommandOutcome fclassCommand(const std::string& arg);
  CommandOutcome identify(const std::string& arg);
  void resetModem();
  void result(const char* word, int code);
  void info(const std::string& text);
  void emit(const std::string& text);
  int numericArg(const std::string& arg) const;

  void softwareFlowCommand(const AtCommand& cmd);
  void signalFlow();

  ModemModel m_model;
  Output m_output;
  ModemEngine* m_class1 = nullptr;
  ModemEngine* m_class2 = nullptr;
  ModemEngine* m_class20 = nullptr;
  AtLineAssembler m_lines;
  std::string m_pending;
  std::string m_class = "0";
  bool m_echo = true;
  ResultFormat m_format;
  int m_resultSet = 4;
  std::array<uint8_t, 256> m_s{};
  int m_rings = 0;
  // XON/XOFF toward the DTE (AT&K4, AT+FLO=1): a pty has no CTS line, so
  // this is the only way to hold a DTE that does not wait for the kernel.
  bool m_softwareFlow = false;
  bool m_flowStopped = false;
  // +++ escape: pluses seen after a quiet guard time, and when the last DTE
  // byte came.
  int m_pluses = 0;
  int64_t m_lastByteAt = 0;
  int64_t m_now = 0;
};

} // namespace tolvane::sim
