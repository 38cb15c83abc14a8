// Replays the kept fuzz inputs (seeds and every input that once crashed or
// tripped a sanitizer) through the same harness the fuzz targets use.

#include "tests/fuzz/xbase/XbaseFuzzHarness.h"

#include "XbaseTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

void replay(const std::string& kind, void (*run)(const uint8_t*, size_t)) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(xbtest::dataPath("fuzz/" + kind))) {
    SCOPED_TRACE(entry.path().string());
    std::string bytes = xbtest::readFile(entry.path().string());
    run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++count;
  }
  EXPECT_GT(count, 0u);
}

} // namespace

TEST(FuzzReplay, KeptDbfInputs) {
  replay("dbf", xbfuzz::runDbf);
}
TEST(FuzzReplay, KeptFptInputs) {
  replay("fpt", xbfuzz::runFpt);
}
TEST(FuzzReplay, KeptCdxInputs) {
  replay("cdx", xbfuzz::runCdx);
}
