#pragma once
// Re-codes a page from one coding to another (MH, MR, MMR): pages go out in
// the coding the call agreed on, and received pages are stored in MH.

#include "faximage/FaxCoding.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace faximage {

struct RecodedPage {
  std::vector<uint8_t> data;
  int rows = 0;
  int badRows = 0;    // rows of the input that could not be decoded (see PageDecoder.h)
  bool ended = false; // the input ended with RTC or EOFB
};

RecodedPage recodePage(const uint8_t* data, std::size_t size, FaxCoding from, int width,
                       const CodingOptions& to);

} // namespace faximage
