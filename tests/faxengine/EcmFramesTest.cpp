// Error correction framing through the real parts: a page cut into ECM
// frames and sent as an HDLC bit stream, a bit error on the way, the
// receiver's PPR map, the frames sent again, and the page put together.

#include "faxengine/EcmBlockReader.h"
#include "faxengine/EcmPage.h"
#include "faxengine/HdlcFraming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace faxengine;

namespace {

std::vector<uint8_t> SomePage(std::size_t size) {
  std::vector<uint8_t> page(size);
  uint32_t x = 12345;
  for (auto& b : page) {
    x = x * 1103515245 + 12345;
    // Runs of ones as well, so that bit stuffing has work to do.
    b = (x >> 24) & 1 ? 0xFF : static_cast<uint8_t>(x >> 16);
  }
  return page;
}

// The standard check value of the HDLC FCS (ISO/IEC 13239): "123456789".
TEST(HdlcFcs, MatchesTheCheckValue) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(hdlc::Fcs(text, sizeof text), 0x906E);
}

TEST(EcmFrames, BitErrorCostsOneFrameWhichThePprAsksForAgain) {
  const std::vector<uint8_t> data = SomePage(256 * 10 + 100); // 11 frames, the last short
  EcmPage page;
  page.Set(data, 256);
  ASSERT_EQ(page.FramesInBlock(), 11);
  ASSERT_TRUE(page.LastBlock());

  std::vector<uint8_t> stream = page.BlockStream(nullptr);
  // A bit in the middle of the stream: in frame 5 of 11.
  stream[stream.size() / 2] ^= 0x08;
  EcmBlockReader rx;
  rx.Put(stream.data(), stream.size());
  EXPECT_TRUE(rx.EndSeen());
  EXPECT_EQ(rx.BadFrames(), 1);
  EXPECT_FALSE(rx.Complete(11));
  uint8_t map[kPprMapBytes];
  rx.MissingMap(11, map);
  EXPECT_EQ(page.Requested(map), 1);

  // Only the missing frame goes again; then the page is whole.
  const std::vector<uint8_t> again = page.BlockStream(map);
  EXPECT_LT(again.size(), stream.size() / 5);
  rx.Put(again.data(), again.size());
  EXPECT_TRUE(rx.Complete(11));
  EXPECT_EQ(rx.Data(11), data);
}

TEST(EcmFrames, LongPageGoesInBlocksOf256Frames) {
  const std::vector<uint8_t> data = SomePage(64 * 300);
  EcmPage page;
  page.Set(data, 64);
  std::vector<uint8_t> back;
  std::vector<int> frames;
  for (;; page.NextBlock()) {
    frames.push_back(page.FramesInBlock());
    const std::vector<uint8_t> stream = page.BlockStream(nullptr);
    EcmBlockReader rx;
    rx.Put(stream.data(), stream.size());
    ASSERT_TRUE(rx.Complete(page.FramesInBlock()));
    const std::vector<uint8_t> got = rx.Data(page.FramesInBlock());
    back.insert(back.end(), got.begin(), got.end());
    if (page.LastBlock())
      break;
  }
  EXPECT_EQ(frames, (std::vector<int>{256, 44}));
  EXPECT_EQ(back, data);
}

// Stored inputs of the ECM frame fuzz target, replayed in every build.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(EcmFrameFuzzReplay, StoredInputsRunClean) {
  const std::filesystem::path dir =
      std::filesystem::path(TOLVANE_TEST_DATA) / "faxengine" / "ecm-seeds";
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

} // namespace
