#include "sim/LineNoise.h"

namespace tolvane::sim {

void LineNoise::PutBit(void* user, int bit) {
  auto* tap = static_cast<Tap*>(user);
  LineNoise& n = *tap->noise;
  // Negative values are the demodulator's status reports, not bits.
  if (bit >= 0 && n.m_active && n.m_draw(n.m_random) < n.m_rate) {
    bit ^= 1;
    ++n.m_inverted;
  }
  tap->put(tap->user, bit);
}

template <typename Rx> void LineNoise::AttachTo(Rx& rx, Tap& tap) {
  if (rx.put_bit == &LineNoise::PutBit)
    return;
  tap.put = rx.put_bit;
  tap.user = rx.put_bit_user_data;
  tap.noise = this;
  if (!tap.put)
    return;
  rx.put_bit = &LineNoise::PutBit;
  rx.put_bit_user_data = &tap;
}

void LineNoise::Attach(fax_modems_state_t& modems) {
  AttachTo(modems.fast_modems.v17_rx, m_v17);
  AttachTo(modems.fast_modems.v29_rx, m_v29);
  AttachTo(modems.fast_modems.v27ter_rx, m_v27);
}

} // namespace tolvane::sim
