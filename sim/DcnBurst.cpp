#include "sim/DcnBurst.h"

namespace tolvane::sim {

DcnBurst::DcnBurst() {
  hdlc_tx_init(&m_hdlc, false, 2, false, &DcnBurst::underflow, this);
  // About one second of flags as preamble (T.30 5.3.1), then the frame.
  hdlc_tx_flags(&m_hdlc, 38);
  static const uint8_t frame[] = {0xFF, 0x13, T30_DCN};
  hdlc_tx_frame(&m_hdlc, frame, sizeof frame);
  fsk_tx_init(&m_fsk, &preset_fsk_specs[FSK_V21CH2],
              reinterpret_cast<get_bit_func_t>(hdlc_tx_get_bit), &m_hdlc);
}

void DcnBurst::underflow(void* user) {
  // The first underflow follows the frame; a few closing flags later the
  // burst ends.
  auto* self = static_cast<DcnBurst*>(user);
  if (++self->m_underflows == 1)
    hdlc_tx_flags(&self->m_hdlc, 3);
  else
    self->m_done = true;
}

int DcnBurst::tx(int16_t* amp, int maxSamples) {
  if (m_done)
    return 0;
  int n = fsk_tx(&m_fsk, amp, maxSamples);
  // Preamble, frame and closing flags take about 1.3 s at 300 bit/s; the
  // limit guards against a transmitter that keeps idling on flags.
  m_samples += n;
  if (m_samples >= kSampleRate * 8 / 5)
    m_done = true;
  return n;
}

} // namespace tolvane::sim
