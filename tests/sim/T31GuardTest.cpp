// The T.31 modem receiving V.21 audio from the line, made by spandsp's own
// HDLC and FSK transmitters: a frame longer than T.31 can hand its DTE is
// dropped without harm, and the next frame arrives whole.

#include "sim/Class1Engine.h"
#include "tests/support/DteData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tolvane::sim;

namespace {


// V.21 channel 2 audio of HDLC frames after a preamble of flags, one after
// the other as a fax machine sends them, and flags after the last until it
// has surely gone out.
std::vector<int16_t> v21Frames(const std::vector<std::vector<uint8_t>>& frames) {
  hdlc_tx_state_t* hdlc = hdlc_tx_init(nullptr, false, 2, false, nullptr, nullptr);
  fsk_tx_state_t* fsk = fsk_tx_init(nullptr, &preset_fsk_specs[FSK_V21CH2],
                                    reinterpret_cast<get_bit_func_t>(hdlc_tx_get_bit), hdlc);
  hdlc_tx_flags(hdlc, 40);
  std::vector<int16_t> audio;
  int16_t chunk[160];
  for (const auto& frame : frames) {
    while (hdlc_tx_frame(hdlc, frame.data(), frame.size()) != 0) {
      fsk_tx(fsk, chunk, 160);
      audio.insert(audio.end(), chunk, chunk + 160);
    }
  }
  const size_t tail = (frames.back().size() * 10 + 40 * 8) * 8000 / 300;
  for (size_t n = 0; n < tail; n += 160) {
    fsk_tx(fsk, chunk, 160);
    audio.insert(audio.end(), chunk, chunk + 160);
  }
  fsk_tx_free(fsk);
  hdlc_tx_free(hdlc);
  return audio;
}


} // namespace

TEST(T31Guard, OverlongV21FrameFromTheLineIsDroppedAndTheNextArrives) {
  std::string dte;
  Class1Engine engine(
      [&](const uint8_t* d, size_t n) { dte.append(reinterpret_cast<const char*>(d), n); },
      [](const std::string&) {}, [] {}, [] {});
  engine.selectClass("1");
  engine.command(AtCommand{"D", "T502"});
  engine.callEvent(CallEvent::Connected); // the DTE now waits for the first frame
  dte.clear();
  // 300 octets: more than the AT interpreter's buffer takes, then a DIS.
  std::vector<uint8_t> overlong(300, 0x55);
  overlong[0] = 0xFF, overlong[1] = 0x03;
  const std::vector<uint8_t> dis = {0xFF, 0x13, 0x80, 0x00, 0xEE, 0xF8, 0xC4, 0x80, 0x10, 0x00};
  const std::vector<int16_t> audio = v21Frames({overlong, dis});
  for (size_t i = 0; i + 160 <= audio.size(); i += 160)
    engine.rx(audio.data() + i, 160);

  std::vector<uint8_t> got = testsupport::dataToDte(dte);
  ASSERT_EQ(got.size(), dis.size() + 2) << dte;
  EXPECT_TRUE(crc_itu16_check(got.data(), static_cast<int>(got.size())));
  got.resize(dis.size());
  EXPECT_EQ(got, dis) << "error correction stays on an audio line";
}
