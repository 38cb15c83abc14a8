// Replays the stored fuzz inputs (seeds and every finding) of the unpacker
// fuzz targets, so that a fixed fault stays fixed.
#include "tests/fuzz/faximage/DecFuzzCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::filesystem::path> inputs(const std::string& target) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(std::string(TOLVANE_TEST_DATA) +
                                                           "/faximage/fuzz/" + target))
    files.push_back(e.path());
  return files;
}

std::vector<uint8_t> bytesOf(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(UnpackFuzzReplay, DecodersAgreeOnStoredInputs) {
  const auto files = inputs("unpack_decoders");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    const auto data = bytesOf(f);
    EXPECT_TRUE(decfuzz::decodersAgree(data.data(), data.size())) << f;
  }
}

TEST(UnpackFuzzReplay, StoredApfInputsUnpackSafely) {
  const auto files = inputs("unpack_apf");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    const auto data = bytesOf(f);
    decfuzz::unpackApfInput(data.data(), data.size()); // ASan build catches misuse
  }
}

} // namespace
