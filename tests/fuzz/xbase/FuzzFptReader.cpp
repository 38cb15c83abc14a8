// libFuzzer target: the table engine's FPT reader.
#include "tests/fuzz/xbase/XbaseFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xbfuzz::runFpt(data, size);
  return 0;
}
