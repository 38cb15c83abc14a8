#pragma once
// Somebody who answers the phone by voice: bursts of voiced sound with
// pauses, then hangs up, as a person does on hearing fax tones.

#include "sim/LineParty.h"

#include <cstdint>

namespace tolvane::sim {

class VoiceParty : public LineParty {
public:
  explicit VoiceParty(double talkSeconds = 10);
  int lineTx(int16_t* amp, int maxSamples) override;
  void lineRx(const int16_t*, int) override {}
  bool onHook() const { return m_elapsed >= m_talk; }

private:
  int64_t m_elapsed = 0;
  int64_t m_talk;
  double m_phase = 0;
  uint32_t m_seed = 12345;
};

} // namespace tolvane::sim
