// Replays the stored inputs of the Class 2 machine fuzz target (seeds and
// any findings) and checks what the receive dialogue seed leaves behind.

#include "faxengine/PageData.h"
#include "faximage/ApfFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
std::string FaxFuzzWorkDir();

namespace fs = std::filesystem;

namespace {
std::vector<uint8_t> Load(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
const fs::path kSeeds = fs::path(TOLVANE_TEST_DATA) / "faxengine" / "fuzz-seeds";
} // namespace

TEST(FaxMachineInputs, StoredInputsRunToTheEnd) {
  int count = 0;
  for (auto& e : fs::directory_iterator(kSeeds)) {
    const auto bytes = Load(e.path());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << e.path();
    ++count;
  }
  EXPECT_GE(count, 5);
}

TEST(FaxMachineInputs, ReceiveDialogueKeepsTheAcceptedPageOnly) {
  const std::string file = FaxFuzzWorkDir() + "/received.apf";
  fs::remove(file);
  const auto bytes = Load(kSeeds / "receive-class2");
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  faximage::ApfFileHeader header;
  ASSERT_EQ(faximage::readApfFileHeader(file, header), 0);
  EXPECT_EQ(header.pageCount, 1); // the second page had status 2 and was dropped
  EXPECT_EQ(header.stationId(), "CALLER");
  std::vector<uint8_t> data;
  ASSERT_EQ(faximage::readApfPageData(file, 1, data), 0);
  // Class 2 data: DLE DLE is one DLE, every byte's bits reversed.
  std::vector<uint8_t> expected;
  for (uint8_t b : {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00, 0x10})
    expected.push_back(faxengine::ReverseBits(b));
  EXPECT_EQ(data, expected);
}
