#pragma once
// A V.21 channel 2 burst carrying one DCN frame: how a fax machine that
// gives up on a call tells the other end (T.30 5.3.6.1.8).

#include "sim/LineParty.h"
#include "sim/SpanDsp.h"

namespace tolvane::sim {

class DcnBurst {
public:
  DcnBurst();
  DcnBurst(const DcnBurst&) = delete;
  DcnBurst& operator=(const DcnBurst&) = delete;
  // Fills amp with the burst; returns the samples made, 0 once it is over.
  int tx(int16_t* amp, int maxSamples);
  bool done() const { return m_done; }

private:
  static void underflow(void* user);
  hdlc_tx_state_t m_hdlc{};
  fsk_tx_state_t m_fsk{};
  int m_underflows = 0;
  int m_samples = 0;
  bool m_done = false;
};

} // namespace tolvane::sim
