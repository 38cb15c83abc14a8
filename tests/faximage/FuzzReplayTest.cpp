// Replays the fuzz seeds and every stored fuzz finding through the same
// routine the fuzz targets run; under the sanitizer build this catches a
// finding that comes back.

#include "ImgTestSupport.h"
#include "tests/fuzz/faximage/ImgFuzzCheck.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(FuzzReplay, SeedsAndFindingsRunCleanly) {
  const std::pair<const char*, imgfuzz::Kind> kinds[] = {
      {"apf", imgfuzz::Kind::Apf}, {"bmp", imgfuzz::Kind::Bmp}, {"tiff", imgfuzz::Kind::Tiff},
      {"pcx", imgfuzz::Kind::Pcx}, {"dcx", imgfuzz::Kind::Dcx}, {"text", imgfuzz::Kind::Text}};
  int replayed = 0;
  for (const char* folder : {"fuzz-seeds", "fuzz-regressions"})
    for (const auto& [name, kind] : kinds) {
      const fs::path dir = fs::path(imgtest::dataFile(folder)) / name;
      if (!fs::is_directory(dir))
        continue;
      for (const auto& entry : fs::directory_iterator(dir)) {
        const auto bytes = imgtest::readAll(entry.path().string());
        SCOPED_TRACE(entry.path().string());
        imgfuzz::runInput(kind, bytes.data(), bytes.size());
        ++replayed;
      }
    }
  EXPECT_GE(replayed, 8); // the seeds at least
}
