#include "tests/fuzz/faximage/DecFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  decfuzz::unpackApfInput(data, size);
  return 0;
}
