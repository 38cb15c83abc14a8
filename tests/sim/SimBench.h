#pragma once
// A simulated network without pseudo-terminals, stepped by the test itself:
// DTE bytes go straight into the modems and their answers are collected.

#include "sim/Exchange.h"
#include "sim/SimModem.h"

#include <memory>
#include <string>
#include <vector>

namespace tolvane::sim::test {

class SimBench {
public:
  SimBench() : exchange(config, [this](const std::string& s) { events.push_back(s); }) {}

  SimModem& addModem(const std::string& line) {
    std::string err = applyConfigLine(config, "modem " + line);
    if (!err.empty())
      throw std::runtime_error(err);
    const ModemConfig& mc = config.modems.back();
    modems.push_back(std::make_unique<SimModem>(mc, exchange, false));
    exchange.addModem(*modems.back(), mc.name, mc.number);
    output.emplace_back();
    return *modems.back();
  }
  void addNumber(const std::string& line) {
    std::string err = applyConfigLine(config, "number " + line);
    if (!err.empty())
      throw std::runtime_error(err);
  }

  // Types a command line at modem i and returns what it answered at once.
  std::string type(size_t i, const std::string& text) {
    modems[i]->dteInput(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    run(0.02);
    std::string all = std::move(output[i]);
    output[i].clear();
    return all;
  }

  // Steps line time; output piles up per modem.
  void run(double seconds) {
    for (int64_t n = 0; n < secondsToSamples(seconds); n += kBlockSamples)
      step();
  }
  // Steps until modem i has said `text` (kept in its output) or time is up.
  bool waitFor(size_t i, const std::string& text, double seconds) {
    for (int64_t n = 0; n < secondsToSamples(seconds); n += kBlockSamples) {
      step();
      if (output[i].find(text) != std::string::npos)
        return true;
    }
    return false;
  }

  SimConfig config;
  std::vector<std::string> events;
  Exchange exchange;
  std::vector<std::unique_ptr<SimModem>> modems;
  std::vector<std::string> output;

private:
  void step() {
    exchange.step();
    for (size_t i = 0; i < modems.size(); ++i) {
      modems[i]->tick(exchange.now());
      output[i] += modems[i]->takeDueOutput();
    }
  }
};

} // namespace tolvane::sim::test
