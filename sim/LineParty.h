#pragma once
// Anything that can be at one end of a simulated phone call: a simulated
// modem, a remote fax machine, a voice answerer.

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane::sim {

constexpr int kSampleRate = 8000;
constexpr int kBlockSamples = 160; // 20 ms of line time per exchange step

inline constexpr int64_t secondsToSamples(double s) {
  return static_cast<int64_t>(s * kSampleRate);
}

enum class CallFailure { Busy, NoAnswer, NoDialtone };

class LineParty {
public:
  virtual ~LineParty() = default;
  // Audio toward the line; returns samples written (the rest is silence).
  virtual int lineTx(int16_t* amp, int maxSamples) = 0;
  // Audio from the line.
  virtual void lineRx(const int16_t* amp, int samples) = 0;
  // An incoming call rings this party (once per ring cadence).
  virtual void onRing() {}
  // This party's outgoing call was answered by the far end.
  virtual void onCallAnswered() {}
  // This party answered and the line is now through.
  virtual void onCallConnected() {}
  // This party's outgoing call did not get through.
  virtual void onCallFailed(CallFailure) {}
  // The far end went on hook.
  virtual void onFarEndHangup() {}
};

// What a party uses to place, take and end calls.
class CallControl {
public:
  virtual ~CallControl() = default;
  virtual void dial(LineParty& caller, const std::string_view number) = 0;
  virtual void answer(LineParty& callee) = 0;
  virtual void hangup(LineParty& party) = 0;
  // A line for the simulator's log.
  virtual void note(const std::string& /*text*/) {}
};

} // namespace tolvane::sim
