// Replays the stored inputs (seeds and every finding) of the MH, MR and MMR
// decoder fuzz targets, so that a fixed fault stays fixed.
#include "tests/fuzz/faximage/CodecFuzzCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

TEST(PageCodingFuzzReplay, StoredInputsDecodeConsistently) {
  for (const auto& [folder, coding] : {std::pair{"mh_page_decoder", faximage::FaxCoding::Mh},
                                       std::pair{"mr_decoder", faximage::FaxCoding::Mr},
                                       std::pair{"mmr_decoder", faximage::FaxCoding::Mmr}}) {
    int replayed = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TOLVANE_TEST_DATA) +
                                                             "/faximage/fuzz/" + folder)) {
      std::ifstream in(e.path(), std::ios::binary);
      const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
      EXPECT_TRUE(codecfuzz::decodesConsistently(coding, data.data(), data.size())) << e.path();
      ++replayed;
    }
    EXPECT_GE(replayed, 3) << folder; // the seeds at least
  }
}
