#include "sim/class2/DleStream.h"

namespace tolvane::sim {

size_t DleDecoder::feed(const uint8_t* data, size_t len, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < len && m_end == End::None) {
    uint8_t b = data[i++];
    if (!m_afterDle) {
      if (b == kDle)
        m_afterDle = true;
      else
        out.push_back(b);
      continue;
    }
    m_afterDle = false;
    switch (b) {
    case kDle:
      out.push_back(kDle);
      break;
    case kSub: // T.32: DLE SUB stands for two DLE data bytes
      out.push_back(kDle);
      out.push_back(kDle);
      break;
    case kEtx:
      m_end = End::Etx;
      break;
    case ',':
      if (m_postPageCodes)
        m_end = End::MorePages;
      break;
    case ';':
      if (m_postPageCodes)
        m_end = End::NewDocument;
      break;
    case '.':
      if (m_postPageCodes)
        m_end = End::LastPage;
      break;
    default:
      break; // other DLE pairs carry nothing for the page
    }
  }
  return i;
}

void DleDecoder::reset() {
  m_afterDle = false;
  m_end = End::None;
}

void appendDleEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    out.push_back(data[i]);
    if (data[i] == kDle)
      out.push_back(kDle);
  }
}

} // namespace tolvane::sim
