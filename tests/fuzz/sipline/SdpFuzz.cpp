// Fuzzes the SDP reader and the T.38 attribute reader with arbitrary text:
// what it accepts, written out again, must read back as the same streams.

#include "sipline/SdpMedia.h"

#include <cstdlib>
#include <string_view>

using namespace tolvane::sipline;

int fuzzSdp(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  T38Attributes t;
  parseT38Attribute(text, t);
  auto m = parseSdp(text);
  if (!m)
    return 0;
  // We write one stream: T.38 when there is one, otherwise audio.
  auto back = parseSdp(writeSdp(*m, 1));
  if (!back || back->address != m->address)
    std::abort();
  if (m->imagePort) {
    const T38Attributes &a = m->t38, &b = back->t38;
    if (back->imagePort != m->imagePort || a.version != b.version || a.maxBitRate != b.maxBitRate ||
        a.fillBitRemoval != b.fillBitRemoval || a.rateManagement != b.rateManagement ||
        a.maxDatagram != b.maxDatagram || a.errorCorrection != b.errorCorrection)
      std::abort();
  } else if (back->audioPort != m->audioPort || back->audioPayloads != m->audioPayloads) {
    std::abort();
  }
  // The same stream written as the answer to the text: it keeps the offer's
  // m= lines and still reads back with its one stream in use.
  auto answer = parseSdp(writeSdp(*m, 2, &*m));
  if (!answer || answer->address != m->address || answer->imagePort != m->imagePort ||
      (!m->imagePort && answer->audioPort != m->audioPort))
    std::abort();
  return 0;
}

#ifndef TOLVANE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzSdp(data, size);
}
#endif
