// libFuzzer target: the table engine's DBF reader.
#include "tests/fuzz/xbase/XbaseFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xbfuzz::runDbf(data, size);
  return 0;
}
