#include "sim/Class2Engine.h"

#include "sim/class2/Class2Modem.h"

namespace tolvane::sim {
namespace {

class Class2Engine : public ModemEngine {
public:
  Class2Engine(Class2Dialect dialect, Class2Options options, Class2Modem::Host host)
      : m_hangup(host.hangup), m_modem(dialect, std::move(options), std::move(host)) {}

  CommandOutcome command(const AtCommand& cmd) override {
    if (cmd.name == "H") {
      // The engine's reset ends its side of a call without telling the
      // line, so the line is cleared here.
      m_modem.reset();
      m_hangup();
      return CommandOutcome::Ok;
    }
    switch (m_modem.command(cmd.name + cmd.arg)) {
    case Class2Modem::Result::Ok:
      return CommandOutcome::Ok;
    default:
      return CommandOutcome::Reported; // the engine printed ERROR or will print the result
    }
  }
  bool inDataMode() const override { return m_modem.inDataMode(); }
  void dteData(const uint8_t* data, size_t len) override { m_modem.dteData(data, len); }
  bool readyForData() const override { return m_modem.readyForData(); }
  void callEvent(CallEvent event) override {
    using E = Class2Modem::Event;
    switch (event) {
    case CallEvent::Answered:
      m_modem.callEvent(E::Answered);
      break;
    case CallEvent::Connected:
      m_modem.callEvent(E::Connected);
      break;
    case CallEvent::Busy:
      m_modem.callEvent(E::Busy);
      break;
    case CallEvent::NoAnswer:
      m_modem.callEvent(E::NoAnswer);
      break;
    case CallEvent::NoDialtone:
      m_modem.callEvent(E::NoDialtone);
      break;
    case CallEvent::FarEndHangup:
      m_modem.callEvent(E::Hangup);
      break;
    }
  }
  int tx(int16_t* amp, int maxSamples) override { return m_modem.tx(amp, maxSamples); }
  void rx(const int16_t* amp, int samples) override { m_modem.rx(amp, samples); }
  void reset() override { m_modem.reset(); }
  void setResultFormat(const ResultFormat& format) override { m_modem.setVerbose(format.verbose); }
  bool escape() override { return false; } // page transfer has its own DLE controls
  void selectClass(const std::string&) override {}
  void ring() override { m_modem.ring(); }

private:
  std::function<void()> m_hangup;
  Class2Modem m_modem;
};

} // namespace

std::unique_ptr<ModemEngine> makeClass2Engine(bool class20, const std::string& localId,
                                              Class2Hooks hooks) {
  Class2Options options;
  options.localId = localId;
  Class2Modem::Host host{std::move(hooks.toDte), std::move(hooks.dial), std::move(hooks.answer),
                         std::move(hooks.hangup)};
  return std::make_unique<Class2Engine>(class20 ? Class2Dialect::Class20 : Class2Dialect::Class2,
                                        options, std::move(host));
}

} // namespace tolvane::sim
