#include "tests/fuzz/faximage/DecFuzzCheck.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!decfuzz::decodersAgree(data, size))
    std::abort();
  return 0;
}
