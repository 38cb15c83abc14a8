#pragma once
// Fuzz inputs for the page decoders, shared by the fuzz targets and by the
// test that replays stored inputs.
//
// The first byte picks the row width (fax widths and small odd ones), MR's k
// and a minimum row length; the rest is coded data. Whatever it decodes to
// is coded again and decoded again: that must give the same rows, with no
// bad rows and the page end found.

#include "faximage/PageDecoder.h"
#include "faximage/PageEncoder.h"

#include <cstddef>
#include <cstdint>

namespace codecfuzz {

inline bool decodesConsistently(faximage::FaxCoding coding, const uint8_t* data,
                                std::size_t size) {
  if (size < 1)
    return true;
  static constexpr int kWidths[8] = {1728, 2048, 1, 7, 8, 63, 64, 200};
  const int width = kWidths[data[0] & 7];
  const int k = 1 + (data[0] >> 3 & 3);
  const std::size_t minRowBits = std::size_t(data[0] >> 5) * 40;
  constexpr int kMaxRows = 600; // keeps each run fast; the limit itself is exercised
  const faximage::DecodedPage first =
      faximage::decodePage(data + 1, size - 1, coding, width, kMaxRows);
  if (first.page.width() != width || first.page.height() > kMaxRows ||
      first.badRows > first.page.height() + 1)
    return false;
  const auto coded = faximage::encodePage(first.page, {coding, k, minRowBits});
  const faximage::DecodedPage second =
      faximage::decodePage(coded.data(), coded.size(), coding, width, kMaxRows + 1);
  return second.page == first.page && second.badRows == 0 && second.ended;
}

} // namespace codecfuzz
