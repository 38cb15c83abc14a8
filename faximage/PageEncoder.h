#pragma once
// Codes a page row by row in MH, MR or MMR. Rows are coded from their
// changing elements: one-dimensional rows as runs, two-dimensional rows
// against the row above (T.4 4.2.1.3, T.6).

#include "faximage/FaxCoding.h"
#include "faximage/MhEncoder.h"
#include "faximage/PageBitmap.h"

#include <cstdint>
#include <vector>

namespace faximage {

class PageEncoder {
public:
  PageEncoder(int width, const CodingOptions& options);

  // Codes one packed row of `width` pixels (MSB first, 1 = black).
  void encodeRow(const uint8_t* row);
  // Ends the page with RTC (MH, MR) or EOFB (MMR), zero bits to a whole
  // byte, and hands over the coded page.
  std::vector<uint8_t> finish();

private:
  void makeRoom();
  void encodeTwoDim(const int* ref, const int* cur);
  void markEnd(std::vector<int>& list, int count);

  int m_width;
  CodingOptions m_options;
  std::vector<uint8_t> m_out;
  MhBitWriter m_writer;
  std::vector<int> m_ref; // changing elements of the row above, end marks after
  std::vector<int> m_cur;
  long m_rows = 0;
};

// The whole page in one coding.
std::vector<uint8_t> encodePage(const PageBitmap& page, const CodingOptions& options);

} // namespace faximage
