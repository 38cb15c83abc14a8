// TIFF input: the first image directory of a bilevel image, uncompressed or
// PackBits, in one or more strips.

#include "faximage/ImageReaders.h"
#include "faximage/InputBuffer.h"
#include "platform/FxErrors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace faximage {

namespace {

// Strips of more than this many entries are not believed.
constexpr uint32_t kMaxStrips = 1u << 20;

uint8_t reverseBits(uint8_t b) {
  b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

struct TiffEntry {
  uint16_t type = 0;
  uint32_t count = 0;
  uint8_t field[4] = {};
};

class TiffReader final : public InputReader {
public:
  explicit TiffReader(ReaderContext& context) : m_ctx(context) {}

  std::string defaultExtension() const override { return "TIF"; }

  int open(const std::string& name) override {
    if (int rc = m_in.open(name); rc < 0)
      return rc;
    if (int rc = readDirectory(); rc < 0)
      return rc;
    m_rowBytes = (uint64_t(m_width) + 7) / 8;
    const uint8_t tail = uint8_t(m_width % 8);
    m_lastMask = tail ? uint8_t(0xFF << (8 - tail)) : 0xFF;
    m_ctx.bytesToConvert = m_rowBytes * m_rows;
    m_ctx.decideImageGeometry(int(std::min<uint32_t>(m_width, INT32_MAX)));
    m_row.assign(m_rowBytes, 0);
    m_rowInStrip = m_strip = 0;
    m_rowsDone = 0;
    return startStrip();
  }

  int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) override {
    morePages = false;
    while (m_rowsDone < m_rows && m_rowInStrip >= stripRows(m_strip)) {
      ++m_strip;
      if (m_strip >= m_offsets.size())
        break;
      if (int rc = startStrip(); rc < 0)
        return rc;
    }
    endOfPage = m_rowsDone >= m_rows || m_strip >= m_offsets.size();
    if (endOfPage)
      return ecOK;
    if (int rc = m_compression == 1 ? m_in.read(m_row.data(), m_row.size()) : unpackRow(); rc < 0)
      return rc;
    ++m_rowInStrip;
    ++m_rowsDone;
    m_ctx.bytesConverted += m_rowBytes;
    // Photometric 0 stores black as 1; anything else is inverted. The padding
    // bits of the last byte stay white either way.
    for (uint8_t& b : m_row) {
      if (m_lsbFirst)
        b = reverseBits(b);
      if (m_invert)
        b = uint8_t(~b);
    }
    m_row.back() &= m_lastMask;
    // Pixels beyond the raw row buffer could never be coded on a fax row.
    length = std::size_t(std::min<uint64_t>(m_rowBytes, kRawRowSize));
    std::memcpy(raw, m_row.data(), length);
    m_ctx.centerRow(raw, length);
    return ecOK;
  }

  void close() override { m_in.close(); }

private:
  uint16_t u16(const uint8_t* p) const {
    return m_bigEndian ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
  }
  uint32_t u32(const uint8_t* p) const {
    return m_bigEndian ? (uint32_t(u16(p)) << 16) | u16(p + 2)
                       : uint32_t(u16(p)) | (uint32_t(u16(p + 2)) << 16);
  }
  // A single value: 16-bit entries take the first 16 bits of the field.
  uint32_t value(const TiffEntry& e) const { return e.type == 3 ? u16(e.field) : u32(e.field); }

  int readDirectory();
  int readArray(const TiffEntry& e, std::vector<uint32_t>& out);
  int startStrip();
  int unpackRow();

  uint64_t stripRows(std::size_t strip) const {
    const uint64_t before = uint64_t(m_rowsPerStrip) * strip;
    return before >= m_rows ? 0 : std::min<uint64_t>(m_rowsPerStrip, m_rows - before);
  }

  ReaderContext& m_ctx;
  InputBuffer m_in;
  bool m_bigEndian = false;
  uint32_t m_width = 0, m_rows = 0, m_rowsPerStrip = 0;
  uint32_t m_compression = 1;
  bool m_invert = false;
  bool m_lsbFirst = false; // fill order 2: leftmost pixel in the lowest bit
  std::vector<uint32_t> m_offsets, m_counts;
  uint64_t m_rowBytes = 0;
  uint8_t m_lastMask = 0xFF;
  std::vector<uint8_t> m_row;
  std::size_t m_strip = 0;
  uint64_t m_rowInStrip = 0, m_rowsDone = 0;
  uint64_t m_stripEnd = 0;
};

int TiffReader::readDirectory() {
  uint8_t head[8];
  if (m_in.read(head, 8) < 0)
    return ecBadGraphicsFormat;
  if (head[0] == 'I' && head[1] == 'I')
    m_bigEndian = false;
  else if (head[0] == 'M' && head[1] == 'M')
    m_bigEndian = true;
  else
    return ecBadGraphicsFormat;
  if (int rc = m_in.seek(u32(head + 4)); rc < 0)
    return rc;
  uint8_t countBytes[2];
  if (m_in.read(countBytes, 2) < 0)
    return ecBadGraphicsFormat;
  const uint16_t entries = u16(countBytes);
  TiffEntry offsets, counts;
  bool haveWidth = false, haveRows = false, haveOffsets = false;
  uint32_t bitsPerSample = 1, samplesPerPixel = 1;
  for (uint16_t i = 0; i < entries; ++i) {
    uint8_t raw[12];
    if (m_in.read(raw, 12) < 0)
      return ecBadGraphicsFormat;
    TiffEntry e{u16(raw + 2), u32(raw + 4), {raw[8], raw[9], raw[10], raw[11]}};
    switch (u16(raw)) {
    case 256:
      m_width = value(e);
      haveWidth = true;
      break;
    case 257:
      m_rows = value(e);
      haveRows = true;
      break;
    case 258:
      bitsPerSample = value(e);
      break;
    case 259:
      m_compression = value(e);
      break;
    case 262:
      m_invert = value(e) != 0;
      break;
    case 266:
      m_lsbFirst = value(e) == 2;
      break;
    case 277:
      samplesPerPixel = value(e);
      break;
    case 273:
      offsets = e;
      haveOffsets = true;
      break;
    case 278:
      m_rowsPerStrip = value(e);
      break;
    case 279:
      counts = e;
      break;
    default:
      break;
    }
  }
  // Rows wider than the raw row buffer cannot be placed on a fax page.
  if (!haveWidth || !haveRows || !haveOffsets || m_width == 0 || m_width > kRawRowSize * 8 ||
      bitsPerSample != 1 || samplesPerPixel != 1 || (m_compression != 1 && m_compression != 32773))
    return ecBadGraphicsFormat;
  if (m_rowsPerStrip == 0 || m_rowsPerStrip > m_rows)
    m_rowsPerStrip = m_rows;
  if (int rc = readArray(offsets, m_offsets); rc < 0)
    return rc;
  if (counts.count && readArray(counts, m_counts) < 0)
    m_counts.clear();
  return ecOK;
}

// Strip tables: held in the entry itself when they fit in four bytes,
// otherwise at the offset it gives; 16-bit or 32-bit by the entry's type.
int TiffReader::readArray(const TiffEntry& e, std::vector<uint32_t>& out) {
  out.clear();
  if (e.count == 0 || e.count > kMaxStrips || (e.type != 3 && e.type != 4))
    return ecBadGraphicsFormat;
  const unsigned size = e.type == 3 ? 2 : 4;
  const uint64_t bytes = uint64_t(e.count) * size;
  std::vector<uint8_t> data(bytes);
  if (bytes <= 4) {
    std::memcpy(data.data(), e.field, bytes);
  } else {
    if (int rc = m_in.seek(u32(e.field)); rc < 0)
      return rc;
    if (int rc = m_in.read(data.data(), data.size()); rc < 0)
      return rc;
  }
  for (uint32_t i = 0; i < e.count; ++i)
    out.push_back(size == 2 ? u16(&data[i * 2]) : u32(&data[i * 4]));
  return ecOK;
}

int TiffReader::startStrip() {
  m_rowInStrip = 0;
  if (m_strip >= m_offsets.size())
    return ecOK;
  const uint64_t start = m_offsets[m_strip];
  m_stripEnd = m_strip < m_counts.size() ? start + m_counts[m_strip] : UINT64_MAX;
  return m_in.seek(start);
}

// PackBits: n < 128 copies n + 1 bytes, n > 128 repeats the next byte
// 257 - n times, 128 is a no-op. Runs may not cross the row's end.
int TiffReader::unpackRow() {
  std::size_t pos = 0;
  while (pos < m_row.size()) {
    uint8_t n = 0, b = 0;
    bool eof = false;
    if (int rc = m_in.get(n, eof); rc < 0)
      return rc;
    if (eof || m_in.position() > m_stripEnd)
      return ecDiskRead;
    if (n == 128)
      continue;
    if (n < 128) {
      const std::size_t take = std::min<std::size_t>(n + 1u, m_row.size() - pos);
      if (int rc = m_in.read(&m_row[pos], take); rc < 0)
        return rc;
      for (unsigned skip = n + 1u - unsigned(take); skip > 0; --skip)
        if (int rc = m_in.get(b, eof); rc < 0 || eof)
          return rc < 0 ? rc : ecDiskRead;
      pos += take;
    } else {
      if (int rc = m_in.get(b, eof); rc < 0 || eof)
        return rc < 0 ? rc : ecDiskRead;
      const std::size_t take = std::min<std::size_t>(257u - n, m_row.size() - pos);
      std::memset(&m_row[pos], b, take);
      pos += take;
    }
  }
  return ecOK;
}

} // namespace

std::unique_ptr<InputReader> makeTiffReader(ReaderContext& context) {
  return std::make_unique<TiffReader>(context);
}

} // namespace faximage
