// Replays the Class 1 fuzz target's stored inputs in every build, so the
// machines keep surviving them (and the address sanitizer build checks them).

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(Class1FuzzReplay, StoredInputsRunThroughTheMachines) {
  const std::filesystem::path dir =
      std::filesystem::path(TOLVANE_TEST_DATA) / "faxengine" / "class1-seeds";
  int count = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(e.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << e.path();
    ++count;
  }
  EXPECT_GE(count, 2);
}
