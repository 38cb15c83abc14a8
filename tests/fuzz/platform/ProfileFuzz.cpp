// libFuzzer target for the profile-file reader and writer.

#include "ProfileFuzzCheck.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!profile_fuzz::checkInput(std::string_view(reinterpret_cast<const char*>(data), size)))
    std::abort();
  return 0;
}
