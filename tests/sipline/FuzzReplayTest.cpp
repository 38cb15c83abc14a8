// Replays the stored inputs of the UDPTL, IFP and SDP fuzz targets in every
// build (and under the sanitizers), with the targets' own checks.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

int fuzzUdptl(const uint8_t* data, size_t size);
int fuzzIfp(const uint8_t* data, size_t size);
int fuzzSdp(const uint8_t* data, size_t size);

namespace {

int replay(const char* folder, int (*target)(const uint8_t*, size_t)) {
  const auto dir = std::filesystem::path(TOLVANE_TEST_DATA) / "sipline" / folder;
  int count = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(e.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    EXPECT_EQ(target(bytes.data(), bytes.size()), 0) << e.path();
    ++count;
  }
  return count;
}

} // namespace

TEST(SiplineFuzzReplay, StoredInputsPassTheTargetsChecks) {
  EXPECT_GE(replay("udptl", fuzzUdptl), 2);
  EXPECT_GE(replay("ifp", fuzzIfp), 2);
  EXPECT_GE(replay("sdp", fuzzSdp), 2);
}
