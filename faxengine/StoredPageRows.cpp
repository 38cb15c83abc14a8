// APF page data decoded row by row into another coding.

#include "faxengine/StoredPageRows.h"

#include "faximage/PageDecoder.h"
#include "platform/FxErrors.h"

#include <vector>

namespace faxengine {

namespace {
// The MH rows of a page stored with a length word before each row record.
std::vector<uint8_t> WithoutLengthWords(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> rows;
  rows.reserve(data.size());
  std::size_t pos = 0;
  while (pos + 2 <= data.size()) {
    const std::size_t n = data[pos] | (data[pos + 1] << 8);
    pos += 2;
    if (n > data.size() - pos)
      break;
    rows.insert(rows.end(), data.begin() + static_cast<long>(pos),
                data.begin() + static_cast<long>(pos + n));
    pos += n;
  }
  return rows;
}
} // namespace

int EncodeStoredPage(std::FILE* f, long size, bool lengthWords, int width,
                     faximage::PageEncoder& encoder) {
  std::vector<uint8_t> data(static_cast<std::size_t>(size > 0 ? size : 0));
  if (std::fread(data.data(), 1, data.size(), f) != data.size())
    return ecDiskRead;
  if (lengthWords)
    data = WithoutLengthWords(data);
  const faximage::DecodedPage page =
      faximage::decodePage(data.data(), data.size(), faximage::FaxCoding::Mh, width);
  for (int y = 0; y < page.page.height(); ++y)
    encoder.encodeRow(page.page.row(y));
  return 0;
}

} // namespace faxengine
