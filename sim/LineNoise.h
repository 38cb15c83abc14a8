#pragma once
// Bit errors on the simulated line: bits that come out of a fax machine's
// high-speed demodulators (V.17, V.29, V.27ter) are inverted at a given
// rate, drawn from a seeded generator so that a seed repeats its errors. The
// V.21 control channel is left clean, and so is the training check: errors
// are on only while page data can arrive.

#include "sim/SpanDsp.h"

#include <cstdint>
#include <random>

namespace tolvane::sim {

class LineNoise {
public:
  LineNoise(double bitErrorRate, uint32_t seed) : m_rate(bitErrorRate), m_random(seed) {}

  // Puts the noise between the demodulators and whatever takes their bits;
  // call before every block of received audio, as spandsp re-installs its
  // own bit handlers when it changes modems.
  void Attach(fax_modems_state_t& modems);
  void SetActive(bool on) { m_active = on; }
  long BitsInverted() const { return m_inverted; }

private:
  struct Tap {
    put_bit_func_t put = nullptr;
    void* user = nullptr;
    LineNoise* noise = nullptr;
  };
  static void PutBit(void* user, int bit);
  template <typename Rx> void AttachTo(Rx& rx, Tap& tap);

  double m_rate;
  std::mt19937 m_random;
  std::uniform_real_distribution<double> m_draw{0.0, 1.0};
  bool m_active = false;
  long m_inverted = 0;
  Tap m_v17, m_v29, m_v27;
};

} // namespace tolvane::sim
