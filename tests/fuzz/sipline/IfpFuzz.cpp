// Fuzzes the T.38 IFP reader in both encodings (version 0 and later): every
// field it reports lies within the packet, and the bit-order repair of
// non-ECM image data changes only those fields' octets.

#include "sipline/T38Ifp.h"

#include <cstdlib>
#include <vector>

using namespace tolvane::sipline;

int fuzzIfp(const uint8_t* data, size_t size) {
  for (int version : {0, 2}) {
    auto p = parseIfp(data, size, version);
    if (!p)
      continue;
    std::vector<bool> image(size, false);
    for (const IfpField& f : p->fields) {
      if (f.offset > size || f.length > size - f.offset)
        std::abort();
      if (f.type == kT4NonEcmData || f.type == kT4NonEcmSigEnd)
        for (size_t i = f.offset; i < f.offset + f.length; ++i)
          image[i] = true;
    }
    std::vector<uint8_t> copy(data, data + size);
    reverseNonEcmImageData(copy, version);
    for (size_t i = 0; i < size; ++i)
      if (!image[i] && copy[i] != data[i])
        std::abort();
    // Reversing twice gives the packet back.
    reverseNonEcmImageData(copy, version);
    if (copy != std::vector<uint8_t>(data, data + size))
      std::abort();
  }
  return 0;
}

#ifndef TOLVANE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzIfp(data, size);
}
#endif
