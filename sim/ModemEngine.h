#pragma once
// What the AT front end needs of the fax engine behind it: the T.31 Class 1
// modem, or the Class 2 / 2.0 engine.

#include "sim/AtParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::sim {

enum class CommandOutcome {
  Ok,      // done; the front end reports OK after the last command
  Error,   // the front end reports ERROR and drops the rest of the line
  Reported // the engine has printed (or will print) the final result itself
};

enum class CallEvent { Answered, Connected, Busy, NoAnswer, NoDialtone, FarEndHangup };

struct ResultFormat {
  bool verbose = true;
  bool quiet = false;
};

class ModemEngine {
public:
  virtual ~ModemEngine() = default;
  virtual CommandOutcome command(const AtCommand& cmd) = 0;
  // True while DTE bytes are data for the engine rather than command lines.
  virtual bool inDataMode() const = 0;
  virtual void dteData(const uint8_t* data, size_t len) = 0;
  // Flow control toward the DTE: false while the engine wants no more data.
  virtual bool readyForData() const = 0;
  virtual void callEvent(CallEvent event) = 0;
  virtual int tx(int16_t* amp, int maxSamples) = 0;
  virtual void rx(const int16_t* amp, int samples) = 0;
  virtual void reset() = 0;
  virtual void setResultFormat(const ResultFormat& format) = 0;
  // Leaves data mode after a "+++" escape, back to command mode on line;
  // false if this engine has no such state.
  virtual bool escape() = 0;
  // AT+FCLASS chose this engine for class fclass ("0", "1", "2", "2.0").
  virtual void selectClass(const std::string& fclass) = 0;
  // One ring of an incoming call (RING itself is printed by the front end).
  virtual void ring() {}
};

} // namespace tolvane::sim
