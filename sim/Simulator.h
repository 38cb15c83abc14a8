#pragma once
// The simulator's main loop: pseudo-terminals polled for DTE bytes, the
// phone network stepped every 160 samples of line time (speed times faster
// than the wall clock), scheduled calls, and the control FIFO.

#include "sim/Exchange.h"
#include "sim/SimConfig.h"
#include "sim/SimModem.h"

#include <csignal>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tolvane::sim {

class Simulator {
public:
  Simulator(SimConfig config, std::ostream& log);
  ~Simulator();

  // Creates the modems and their pseudo-terminals; returns an error text.
  std::string start();
  // Lines read from this FIFO are config lines applied at run time, plus
  // "call FROM TO" to place a call at once.
  std::string openControl(const std::string& fifoPath);
  // Runs until *stop becomes non-zero.
  void run(const volatile std::sig_atomic_t* stop);

private:
  void step();
  void readControl();
  void controlLine(const std::string& line);
  void log(const std::string& text);

  SimConfig m_config;
  std::ostream& m_log;
  std::unique_ptr<Exchange> m_exchange;
  std::vector<std::unique_ptr<SimModem>> m_modems;
  struct Scheduled {
    CallInConfig call;
    int64_t due;
  };
  std::vector<Scheduled> m_scheduled;
  int m_control = -1;
  std::string m_controlPath;
  std::string m_controlBuf;
};

} // namespace tolvane::sim
