// Received page data goes to the DTE as it comes off the line, as a real
// Class 2 modem passes it on: the image modems' bits are tapped on their way
// into the T.30 engine (which still does its own copy check), from the first
// EOL of a page to the loss of its carrier.

#include "sim/class2/T30Line.h"

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

namespace tolvane::sim {

void T30Line::Tap::bit(void* user, int b) {
  auto* tap = static_cast<Tap*>(user);
  if (tap->original)
    tap->original(tap->originalUser, b);
  tap->line->tappedBit(b);
}

// Puts the tap between each image modem and the engine; spandsp may point a
// modem elsewhere when it switches modems, so this is checked on every block.
void T30Line::installTaps() {
  if (m_config.calling)
    return;
  fax_modems_state_t& m = faxState().modems;
  struct Slot {
    put_bit_func_t* fn;
    void** user;
  } slots[3] = {{&m.fast_modems.v17_rx.put_bit, &m.fast_modems.v17_rx.put_bit_user_data},
                {&m.fast_modems.v29_rx.put_bit, &m.fast_modems.v29_rx.put_bit_user_data},
                {&m.fast_modems.v27ter_rx.put_bit, &m.fast_modems.v27ter_rx.put_bit_user_data}};
  if (m_taps.empty())
    for (int i = 0; i < 3; ++i)
      m_taps.push_back(std::make_unique<Tap>());
  for (int i = 0; i < 3; ++i) {
    Tap& tap = *m_taps[static_cast<size_t>(i)];
    if (*slots[i].fn == &Tap::bit && *slots[i].user == &tap)
      continue;
    tap.line = this;
    tap.original = *slots[i].fn;
    tap.originalUser = *slots[i].user;
    *slots[i].fn = &Tap::bit;
    *slots[i].user = &tap;
  }
}

void T30Line::tappedBit(int b) {
  if (b < 0) {
    // a modem status: the end of the image carrier ends the page's data
    if (b == SIG_STATUS_CARRIER_DOWN && m_tapInPage) {
      m_tapInPage = false;
      m_expectPage = false;
      if (m_tapBits % 8 != 0)
        m_tapBits += 8 - m_tapBits % 8;
    }
    return;
  }
  if (!m_expectPage)
    return; // training check data, not a page
  bool eol = b == 1 && m_tapZeros >= 11;
  m_tapZeros = b == 0 ? m_tapZeros + 1 : 0;
  if (!m_tapInPage) {
    // before the first EOL there is only the modem's start-up noise
    if (!eol)
      return;
    m_tapInPage = true;
    m_tapEols = 0;
    for (int i = 0; i < 11; ++i)
      appendTapBit(0);
  }
  if (eol)
    ++m_tapEols;
  appendTapBit(b);
}

void T30Line::appendTapBit(int b) {
  if (m_tapBits % 8 == 0)
    m_tapBytes.push_back(0);
  if (b)
    m_tapBytes.back() |= static_cast<uint8_t>(1 << (m_tapBits % 8));
  ++m_tapBits;
}

// Hands the complete bytes tapped so far to the modem.
void T30Line::deliverTapped() {
  size_t whole = m_tapBits / 8;
  if (whole == 0 || !m_cb.pageData)
    return;
  std::vector<uint8_t> done(m_tapBytes.begin(),
                            m_tapBytes.begin() + static_cast<std::ptrdiff_t>(whole));
  m_tapBytes.erase(m_tapBytes.begin(), m_tapBytes.begin() + static_cast<std::ptrdiff_t>(whole));
  m_tapBits -= whole * 8;
  m_cb.pageData(done.data(), done.size());
}

} // namespace tolvane::sim
