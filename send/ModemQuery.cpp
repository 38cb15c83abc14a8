#include "send/ModemQuery.h"

#include "platform/TickClock.h"
#include "serial/TFxCustomComPort.h"

namespace faxsend {

namespace {
constexpr uint32_t kAnswerTicks = 36;

// Folds one finished answer line into the result; true when it ends the answer.
bool takeLine(const std::string& line, const std::string& command, ModemAnswer& answer) {
  if (line.empty() || line == command)
    return false; // blank line or the modem's echo
  if (line == "OK") {
    answer.ok = true;
    return true;
  }
  if (line == "ERROR")
    return true;
  answer.lines += (answer.lines.empty() ? "" : " ") + line;
  return false;
}
} // namespace

ModemAnswer QueryModem(TFxCustomComPort& port, const std::string& command) {
  ModemAnswer answer;
  serial::ComPort& layer = port.Port();
  const bool held = layer.holdDispatch(true);
  const std::string text = command + "\r";
  layer.sendBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const uint32_t start = platform::tickCount();
  std::string line;
  bool done = false;
  while (!done && platform::tickCount() - start < kAnswerTicks) {
    uint8_t b;
    if (layer.readByte(b) != 0) {
      layer.waitForInput(20);
      continue;
    }
    if (b == '\r' || b == '\n') {
      done = takeLine(line, command, answer);
      line.clear();
    } else if (b >= 32 && line.size() < 200) {
      line.push_back(static_cast<char>(b));
    }
  }
  layer.holdDispatch(held);
  return answer;
}

} // namespace faxsend
