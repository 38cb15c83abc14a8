// Windows BMP input. Monochrome files are read row by row from the file;
// other colour depths are dithered to black and white in memory first.

#include "faximage/BmpFile.h"
#include "faximage/FxFile.h"
#include "faximage/ImageReaders.h"
#include "platform/FxErrors.h"

#include <cstring>
#include <vector>

namespace faximage {

namespace {

class BmpReader final : public InputReader {
public:
  explicit BmpReader(ReaderContext& context) : m_ctx(context) {}

  std::string defaultExtension() const override { return "BMP"; }

  int open(const std::string& name) override {
    if (int rc = m_file.openRead(name); rc < 0)
      return rc;
    uint8_t head[256] = {};
    std::size_t got = 0;
    if (int rc = m_file.read(head, sizeof head, got); rc < 0)
      return rc;
    if (!parseBmpHeaders(head, got, m_info))
      return ecBadGraphicsFormat;
    if (m_info.bitsPerPixel != 1 && !loadDithered())
      return ecBadGraphicsFormat;
    if (m_info.bitsPerPixel == 1 && (m_info.compression != 0 || !readPolarity(head, got)))
      return ecBadGraphicsFormat;
    const int w = m_dithered.empty() ? m_info.width : m_dithered.width();
    if (w <= 0 || w > m_ctx.width)
      return ecBadGraphicsFormat;
    m_rowBytes = (std::size_t(w) + 7) / 8;
    m_rows = m_dithered.empty() ? m_info.rows() : m_dithered.height();
    m_padMask = uint8_t(0xFF >> (w % 8 ? w % 8 : 8));
    m_ctx.bytesToConvert = uint64_t(m_rowBytes) * uint64_t(m_rows);
    m_ctx.decideImageGeometry(w);
    m_next = 0;
    return ecOK;
  }

  int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) override {
    morePages = false;
    endOfPage = m_next >= m_rows;
    if (endOfPage)
      return ecOK;
    if (!m_dithered.empty()) {
      std::memcpy(raw, m_dithered.row(m_next), m_rowBytes);
    } else {
      if (int rc = m_file.seek(m_info.rowOffset(m_next)); rc < 0)
        return rc;
      if (int rc = m_file.readExact(raw, m_rowBytes); rc < 0)
        return rc;
      // Padding bits count as index 1 (white) before the bits are turned
      // into page pixels.
      raw[m_rowBytes - 1] |= m_padMask;
      if (m_invert)
        for (std::size_t i = 0; i < m_rowBytes; ++i)
          raw[i] = uint8_t(~raw[i]);
      else
        raw[m_rowBytes - 1] &= uint8_t(~m_padMask);
    }
    ++m_next;
    length = m_rowBytes;
    m_ctx.bytesConverted += m_rowBytes;
    m_ctx.centerRow(raw, length);
    return ecOK;
  }

  void close() override { m_file.close(); }

private:
  // Colour files become a monochrome bitmap; false when that fails, and the
  // file is then judged as it is (and rejected for not being monochrome).
  bool loadDithered() {
    uint64_t size = 0;
    if (m_file.size(size) < 0 || size > (uint64_t(1) << 30))
      return false;
    std::vector<uint8_t> bytes(size);
    if (m_file.seek(0) < 0 || m_file.readExact(bytes.data(), bytes.size()) < 0)
      return false;
    return ditherBmp(bytes, m_dithered) && !m_dithered.empty();
  }

  // Palette index 0 is black in the files the program renders. A file whose
  // palette makes index 0 the lighter colour is read the other way round, so
  // that it is not converted as a negative.
  bool readPolarity(const uint8_t* head, std::size_t got) {
    BmpPalette pal;
    m_invert = true;
    if (readBmpPalette(head, got, m_info, pal) && pal.rgb.size() >= 2) {
      auto level = [](uint32_t c) { return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF); };
      m_invert = level(pal.rgb[0]) <= level(pal.rgb[1]);
    }
    return true;
  }

  ReaderContext& m_ctx;
  FxFile m_file;
  BmpInfo m_info;
  PageBitmap m_dithered;
  std::size_t m_rowBytes = 0;
  int m_rows = 0;
  int m_next = 0;
  uint8_t m_padMask = 0;
  bool m_invert = true;
};

} // namespace

std::unique_ptr<InputReader> makeBmpReader(ReaderContext& context) {
  return std::make_unique<BmpReader>(context);
}

} // namespace faximage
