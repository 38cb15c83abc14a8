#pragma once
// Class 1 (and class 0) through spandsp's T.31 modem: real V.21, V.27ter,
// V.29 and V.17 on the simulated line.

#include "sim/LineParty.h"
#include "sim/ModemEngine.h"
#include "sim/SpanDsp.h"

#include <functional>
#include <string>

namespace tolvane::sim {

class Class1Engine : public ModemEngine {
public:
  using Output = std::function<void(const uint8_t*, size_t)>;
  using Dial = std::function<void(const std::string&)>;
  using Simple = std::function<void()>;
  Class1Engine(Output output, Dial dial, Simple answer, Simple hangup);
  ~Class1Engine() override;
  Class1Engine(const Class1Engine&) = delete;
  Class1Engine& operator=(const Class1Engine&) = delete;

  CommandOutcome command(const AtCommand& cmd) override;
  bool inDataMode() const override;
  void dteData(const uint8_t* data, size_t len) override;
  bool readyForData() const override { return m_ctsOn; }
  void callEvent(CallEvent event) override;
  int tx(int16_t* amp, int maxSamples) override;
  void rx(const int16_t* amp, int samples) override;
  void reset() override;
  void setResultFormat(const ResultFormat& format) override;
  bool escape() override;
  void selectClass(const std::string& fclass) override;

private:
  static int atTx(at_state_t* s, void* user, const uint8_t* buf, size_t len);
  static int control(t31_state_t* s, void* user, int op, const char* num);
  void create();
  void destroy();
  void applyProfile();
  void setClass(int fclass);
  static bool safeForT31(const AtCommand& cmd);
  static constexpr size_t kMaxDialString = 60;
  static constexpr size_t kMaxCommand = 120;

  Output m_output;
  Dial m_dial;
  Simple m_answer;
  Simple m_hangup;
  t31_state_t* m_t31 = nullptr;
  ResultFormat m_format;
  int m_class = 0;
  bool m_ctsOn = true;
  // While a command is handed over, T.31's answer is held here so that the
  // front end can decide whether an intermediate OK is shown.
  bool m_capturing = false;
  std::string m_captured;
};

} // namespace tolvane::sim
