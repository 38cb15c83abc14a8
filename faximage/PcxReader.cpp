// PCX input (monochrome, run-length coded) and DCX, a file of PCX pages.

#include "faximage/ImageReaders.h"
#include "faximage/InputBuffer.h"
#include "platform/FxErrors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace faximage {

namespace {

constexpr uint32_t kDcxMagic = 987654321;
constexpr std::size_t kDcxMaxPages = 1023;
constexpr std::size_t kPcxHeaderSize = 128;

uint16_t le16(const uint8_t* p) {
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
  return uint32_t(le16(p)) | (uint32_t(le16(p + 2)) << 16);
}

// Decodes one PCX image that occupies [start, start + size) of the input.
class PcxImage {
public:
  // Reads and checks the header and makes the page geometry decisions.
  int open(InputBuffer& in, uint64_t start, uint64_t size, ReaderContext& ctx) {
    uint8_t h[kPcxHeaderSize];
    if (size < kPcxHeaderSize)
      return ecBadGraphicsFormat;
    if (int rc = in.seek(start); rc < 0)
      return rc;
    if (int rc = in.read(h, sizeof h); rc < 0)
      return rc == ecDiskRead ? ecBadGraphicsFormat : rc;
    const int width = int(le16(h + 8)) - int(le16(h + 4)) + 1;
    const int height = int(le16(h + 10)) - int(le16(h + 6)) + 1;
    // One plane of one bit per pixel; a plane count of 0 comes from old writers.
    if (h[0] != 10 || h[2] != 1 || h[3] != 1 || h[65] > 1 || width <= 0 || width - 1 > ctx.width ||
        height <= 0)
      return ecBadGraphicsFormat;
    // PCX stores white as 1 in the files this reader was made for (their
    // palette says nothing, or index 0 black). A palette whose index 0 is the
    // lighter colour stores white as 0: then the bits are taken as they are.
    auto level = [&](int i) { return h[16 + 3 * i] + h[17 + 3 * i] + h[18 + 3 * i]; };
    m_invert = level(0) <= level(1);
    m_bytesPerLine = le16(h + 66);
    m_widthBytes = (std::size_t(width) + 7) / 8;
    if (m_bytesPerLine == 0)
      return ecBadGraphicsFormat;
    const uint8_t tail = uint8_t(width % 8);
    m_lastMask = tail ? uint8_t(0xFF << (8 - tail)) : 0xFF;
    m_remaining = size - kPcxHeaderSize;
    m_runLeft = 0;
    m_rowsLeft = height;
    ctx.decideImageGeometry(width);
    return ecOK;
  }

  // The image ends after its rows, or earlier when its data runs out; data
  // after the last row (such as a palette block) is not image.
  bool done() const { return m_rowsLeft == 0 || !dataLeft(); }
  bool dataLeft() const { return m_remaining > 0 || m_runLeft > 0; }
  uint64_t remaining() const { return m_remaining; }

  // One row: bytes-per-line decoded bytes, inverted where white is 1;
  // bits beyond the image width are padding and stay white.
  int readRow(InputBuffer& in, uint8_t* raw, std::size_t& length, ReaderContext& ctx) {
    const uint64_t before = m_remaining;
    --m_rowsLeft;
    for (std::size_t i = 0; i < m_bytesPerLine; ++i) {
      uint8_t b = 0;
      if (int rc = nextByte(in, b); rc < 0)
        return rc;
      if (i < m_widthBytes)
        raw[i] = m_invert ? uint8_t(~b) : b;
      if (!dataLeft())
        break;
    }
    raw[m_widthBytes - 1] &= m_lastMask;
    ctx.bytesConverted += before - m_remaining;
    length = m_widthBytes;
    ctx.centerRow(raw, length);
    return ecOK;
  }

private:
  int nextByte(InputBuffer& in, uint8_t& out) {
    if (m_runLeft > 0) {
      --m_runLeft;
      out = m_runByte;
      return ecOK;
    }
    uint8_t b = 0;
    if (int rc = take(in, b); rc < 0)
      return rc;
    if (b >= 192) {
      m_runLeft = b & 63;
      m_runByte = 0;
      if (m_remaining > 0)
        if (int rc = take(in, m_runByte); rc < 0)
          return rc;
      if (m_runLeft == 0)
        return nextByte(in, out);
      --m_runLeft;
      out = m_runByte;
      return ecOK;
    }
    out = b;
    return ecOK;
  }

  int take(InputBuffer& in, uint8_t& b) {
    if (m_remaining == 0) {
      b = 0;
      return ecOK;
    }
    bool eof = false;
    if (int rc = in.get(b, eof); rc < 0)
      return rc;
    if (eof)
      return ecDiskRead;
    --m_remaining;
    return ecOK;
  }

  std::size_t m_bytesPerLine = 0;
  std::size_t m_widthBytes = 0;
  uint8_t m_lastMask = 0xFF;
  uint64_t m_remaining = 0;
  unsigned m_runLeft = 0;
  uint8_t m_runByte = 0;
  int m_rowsLeft = 0;
  bool m_invert = true;
};

class PcxReader final : public InputReader {
public:
  explicit PcxReader(ReaderContext& context) : m_ctx(context) {}

  std::string defaultExtension() const override { return "PCX"; }

  int open(const std::string& name) override {
    if (int rc = m_in.open(name); rc < 0)
      return rc;
    m_ctx.bytesToConvert = m_in.fileSize() > kPcxHeaderSize ? m_in.fileSize() - kPcxHeaderSize : 0;
    return m_image.open(m_in, 0, m_in.fileSize(), m_ctx);
  }

  int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) override {
    morePages = false;
    endOfPage = m_image.done();
    return endOfPage ? ecOK : m_image.readRow(m_in, raw, length, m_ctx);
  }

  void close() override { m_in.close(); }

private:
  ReaderContext& m_ctx;
  InputBuffer m_in;
  PcxImage m_image;
};

class DcxReader final : public InputReader {
public:
  explicit DcxReader(ReaderContext& context) : m_ctx(context) {}

  std::string defaultExtension() const override { return "DCX"; }

  int open(const std::string& name) override {
    if (int rc = m_in.open(name); rc < 0)
      return rc;
    uint8_t b[4];
    if (m_in.read(b, 4) < 0 || le32(b) != kDcxMagic)
      return ecBadGraphicsFormat;
    m_pages.clear();
    while (m_pages.size() < kDcxMaxPages) {
      if (m_in.read(b, 4) < 0)
        return ecBadGraphicsFormat;
      if (le32(b) == 0)
        break;
      m_pages.push_back(le32(b));
    }
    if (m_pages.empty())
      return ecBadGraphicsFormat;
    m_ctx.bytesToConvert = 0;
    for (std::size_t i = 0; i < m_pages.size(); ++i)
      m_ctx.bytesToConvert += pageSize(i);
    m_page = 0;
    m_pageEnded = false;
    return m_image.open(m_in, m_pages[0], pageSize(0), m_ctx);
  }

  int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) override {
    if (m_pageEnded) {
      // The previous call ended a page; the next one starts here.
      m_pageEnded = false;
      ++m_page;
      if (int rc = m_image.open(m_in, m_pages[m_page], pageSize(m_page), m_ctx); rc < 0)
        return rc;
    }
    morePages = m_page + 1 < m_pages.size();
    endOfPage = m_image.done();
    if (endOfPage) {
      m_pageEnded = morePages;
      return ecOK;
    }
    return m_image.readRow(m_in, raw, length, m_ctx);
  }

  void close() override { m_in.close(); }

private:
  // A page reaches to the next page's offset, the last one to the file end.
  uint64_t pageSize(std::size_t i) const {
    const uint64_t end = m_in.fileSize();
    const uint64_t start = m_pages[i];
    if (start >= end)
      return 0;
    uint64_t next = i + 1 < m_pages.size() ? m_pages[i + 1] : end;
    if (next <= start || next > end)
      next = end;
    return next - start;
  }

  ReaderContext& m_ctx;
  InputBuffer m_in;
  PcxImage m_image;
  std::vector<uint32_t> m_pages;
  std::size_t m_page = 0;
  bool m_pageEnded = false;
};

} // namespace

std::unique_ptr<InputReader> makePcxReader(ReaderContext& context) {
  return std::make_unique<PcxReader>(context);
}
std::unique_ptr<InputReader> makeDcxReader(ReaderContext& context) {
  return std::make_unique<DcxReader>(context);
}

} // namespace faximage
