#pragma once
// DLE framing of page data between DTE and modem: DLE DLE stands for one
// 0x10 data byte, DLE ETX ends the data; in Class 2.0 DLE ',' / ';' / '.'
// end a page and say what follows it (T.32 in-band post-page commands).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolvane::sim {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kXon = 0x11;
constexpr uint8_t kDc2 = 0x12;
constexpr uint8_t kXoff = 0x13;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kSub = 0x1A;

class DleDecoder {
public:
  enum class End { None, Etx, MorePages, NewDocument, LastPage };

  explicit DleDecoder(bool postPageCodes) : m_postPageCodes(postPageCodes) {}
  // Appends the data bytes of input to out up to and including an end
  // marker; returns how many input bytes were used.
  size_t feed(const uint8_t* data, size_t len, std::vector<uint8_t>& out);
  End end() const { return m_end; }
  void reset();

private:
  bool m_postPageCodes;
  bool m_afterDle = false;
  End m_end = End::None;
};

// Appends data with every DLE doubled.
void appendDleEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t len);

} // namespace tolvane::sim
