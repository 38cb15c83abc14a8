// libFuzzer target: the table engine's CDX reader.
#include "tests/fuzz/xbase/XbaseFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xbfuzz::runCdx(data, size);
  return 0;
}
