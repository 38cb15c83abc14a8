#include "sim/VoiceParty.h"

#include <cmath>

namespace tolvane::sim {

VoiceParty::VoiceParty(double talkSeconds) : m_talk(secondsToSamples(talkSeconds)) {}

int VoiceParty::lineTx(int16_t* amp, int maxSamples) {
  for (int i = 0; i < maxSamples; ++i, ++m_elapsed) {
    // Syllables of 250 ms with a pitch that wanders, 150 ms pauses between,
    // and a breath after every fourth: nothing a fax detector takes for CED.
    int64_t t = m_elapsed % 3200;
    bool voiced = t < 2000 && (t % 400) < 250;
    if (!voiced) {
      amp[i] = 0;
      continue;
    }
    double pitch = 140 + 60 * std::sin(2 * M_PI * static_cast<double>(m_elapsed) / 5000.0);
    m_phase += 2 * M_PI * pitch / kSampleRate;
    m_seed = m_seed * 1103515245u + 12345u;
    double noise = static_cast<double>((m_seed >> 16) & 0x3FF) - 512;
    double v = 4000 * std::sin(m_phase) + 2000 * std::sin(3.1 * m_phase) + noise;
    amp[i] = static_cast<int16_t>(v);
  }
  return maxSamples;
}

} // namespace tolvane::sim
