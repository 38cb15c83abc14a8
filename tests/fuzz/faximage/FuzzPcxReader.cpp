#include "tests/fuzz/faximage/ImgFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  imgfuzz::runInput(imgfuzz::Kind::Pcx, data, size);
  return 0;
}
