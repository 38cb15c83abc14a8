#pragma once
// Class 1 (and class 0) through spandsp's T.31 modem: real V.21, V.27ter,
// V.29 and V.17 on the simulated line.

#include "sim/LineNoise.h"
#include "sim/LineParty.h"
#include "sim/ModemEngine.h"
#include "sim/SpanDsp.h"

#include <functional>
#include <memory>
#include <string>

namespace tolvane::sim {

class Class1Engine : public ModemEngine {
public:
  using Output = std::function<void(const uint8_t*, size_t)>;
  using Dial = std::function<void(const std::string&)>;
  using Simple = std::function<void()>;
  // One T.38 IFP packet for the line, and how many times spandsp wants it
  // sent (indicators go out more than once on lossy transports).
  using T38Output = std::function<void(const uint8_t*, int, int)>;
  // With t38 set the modem can also run over T.38 (a SIP line); the
  // simulator's phone line is audio only and leaves it empty.
  Class1Engine(Output output, Dial dial, Simple answer, Simple hangup, T38Output t38 = {});
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

  // T.38 instead of audio on the line (only with a T38Output). Switching in
  // mid-call is safe while the modem waits for the far end's first frames.
  void setT38Mode(bool on);
  bool t38Mode() const { return m_t38Mode; }
  t38_core_state_t* t38Core() { return t31_get_t38_core_state(m_t31); }
  // The DTE waits for page data from the line (+FRM at a fast rate).
  bool receivingPageData() const;
  // Line time passing in T.38 mode (drives T.31's paced T.38 transmitter).
  void t38Tick(int samples) { t31_t38_send_timeout(m_t31, samples); }
  // Audio that never arrived (a lost RTP packet).
  void rxFillin(int samples);
  // Bit errors in the page data this modem receives from the line.
  void addLineNoise(double bitErrorRate, uint32_t seed);

private:
  std::unique_ptr<LineNoise> m_noise;
  static int t38Tx(t38_core_state_t* s, void* user, const uint8_t* buf, int len, int count);
  static int atTx(at_state_t* s, void* user, const uint8_t* buf, size_t len);
  static int control(t31_state_t* s, void* user, int op, const char* num);
  void create();
  void destroy();
  void applyProfile();
  void setClass(int fclass);
  static bool safeForT31(const AtCommand& cmd);
  // A dial string that names a SIP address ("sip:502@host", "502@host")
  // rather than digits, in the form the line is given it; empty otherwise.
  static std::string sipAddressIn(const std::string& dialArg);
  static constexpr size_t kMaxDialString = 60;
  static constexpr size_t kMaxCommand = 120;

  Output m_output;
  Dial m_dial;
  std::string m_dialAddress; // a SIP address being dialled (T.31 reads digits only)
  Simple m_answer;
  Simple m_hangup;
  T38Output m_t38;
  bool m_t38Mode = false;
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
