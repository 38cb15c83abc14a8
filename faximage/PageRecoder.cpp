#include "faximage/PageRecoder.h"

#include "faximage/PageDecoder.h"
#include "faximage/PageEncoder.h"

namespace faximage {

RecodedPage recodePage(const uint8_t* data, std::size_t size, FaxCoding from, int width,
                       const CodingOptions& to) {
  const DecodedPage decoded = decodePage(data, size, from, width);
  return RecodedPage{encodePage(decoded.page, to), decoded.page.height(), decoded.badRows,
                     decoded.ended};
}

} // namespace faximage
