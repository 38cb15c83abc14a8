#include "faximage/InputReader.h"

#include <cstring>

namespace faximage {

void ReaderContext::decideImageGeometry(int imageWidth) {
  const long w = imageWidth;
  doubleWidth = (options & coDoubleWidth) && !highRes && 2 * w <= long(width) - leftMargin;
  halfHeight = (options & coHalfHeight) && !highRes && !doubleWidth;
  centerOffset = 0;
  if ((options & coCenterImage) && long(width) - w > 15)
    centerOffset = std::size_t(doubleWidth ? (width - 2 * w) / 32 : (width - w) / 16);
}

void ReaderContext::centerRow(uint8_t* raw, std::size_t& rowBytes) const {
  if (centerOffset == 0 || centerOffset >= kRawRowSize)
    return;
  if (rowBytes > kRawRowSize - centerOffset)
    rowBytes = kRawRowSize - centerOffset;
  std::memmove(raw + centerOffset, raw, rowBytes);
  std::memset(raw, 0, centerOffset);
  rowBytes += centerOffset;
}

} // namespace faximage
