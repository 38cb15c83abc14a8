#include "faximage/MhRunPairs.h"

#include "faximage/T4Codes.h"

#include <memory>
#include <vector>

namespace faximage {

const uint32_t* mhRunPairs() {
  static const auto table = [] {
    auto t = std::make_unique<std::vector<uint32_t>>(1u << kRunPairBits, 0);
    const t4::RunTables& runs = t4::runTables();
    for (unsigned w = 0; w < (1u << kRunPairBits); ++w) {
      // Each entry is run << 4 | code length; terminating codes have runs below 64.
      const unsigned first = runs.at[0][w];
      const unsigned firstBits = first & 15, whiteRun = first >> 4;
      if (firstBits == 0 || whiteRun == t4::kEolRun)
        continue;
      const unsigned second = runs.at[1][w >> firstBits];
      const unsigned secondBits = second & 15, blackRun = second >> 4;
      if (whiteRun >= 64 || secondBits == 0 || blackRun >= 64 ||
          firstBits + secondBits > kRunPairBits) {
        (*t)[w] = MhRunPair::kSingle | whiteRun | firstBits << 12;
        continue;
      }
      (*t)[w] = whiteRun | blackRun << 6 | firstBits << 12 | (firstBits + secondBits) << 16;
    }
    return t;
  }();
  return table->data();
}

} // namespace faximage
