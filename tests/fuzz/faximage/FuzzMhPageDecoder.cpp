#include "tests/fuzz/faximage/CodecFuzzCheck.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!codecfuzz::decodesConsistently(faximage::FaxCoding::Mh, data, size))
    std::abort();
  return 0;
}
