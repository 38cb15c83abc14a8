// Fuzzes the AT command parser and the front end of a simulated modem with
// arbitrary DTE bytes: line assembly, command splitting, S registers, class
// changes and whatever the bytes make the engines do.

#include "sim/AtParser.h"
#include "sim/Exchange.h"
#include "sim/SimModem.h"

#include <cstddef>
#include <cstdint>

using namespace tolvane::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AtLineAssembler lines;
  for (size_t i = 0; i < size; ++i)
    if (auto line = lines.feed(data[i]))
      parseAtLine(*line);

  static SimConfig config = [] {
    SimConfig c;
    applyConfigLine(c, "modem m model=class120 number=1");
    applyConfigLine(c, "number 2 busy ring=0");
    return c;
  }();
  Exchange exchange(config, [](const std::string&) {});
  SimModem modem(config.modems[0], exchange, false);
  exchange.addModem(modem, "m", "1");
  // Half the bytes at once, the rest after some line time, so that both
  // command and data modes see input.
  size_t half = size / 2;
  modem.dteInput(data, half);
  for (int step = 0; step < 20; ++step) {
    exchange.step();
    modem.tick(exchange.now());
    modem.takeDueOutput();
  }
  modem.dteInput(data + half, size - half);
  for (int step = 0; step < 20; ++step) {
    exchange.step();
    modem.tick(exchange.now());
    modem.takeDueOutput();
  }
  return 0;
}
