// JPEG pages through libjpeg(-turbo), decoded to 8-bit grey; very large
// images are decoded at a reduced scale, which the codec does cheaply.

#include "docimport/PageSource.h"
#include "platform/FxErrors.h"

#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <vector>

namespace docimport {

namespace {

struct JpegErrors {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = "";
};

void jpegExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
  cinfo->err->format_message(cinfo, e->message);
  longjmp(e->jump, 1);
}
void jpegMessage(j_common_ptr) {}

// Adobe writes CMYK inverted (0 = full ink); the grey of such a pixel is
// the product of its inverted inks.
uint8_t cmykGrey(const JSAMPLE* p, bool inverted) {
  int c = p[0], m = p[1], y = p[2], k = p[3];
  if (!inverted) {
    c = 255 - c;
    m = 255 - m;
    y = 255 - y;
    k = 255 - k;
  }
  const int r = c * k / 255, g = m * k / 255, b = y * k / 255;
  return uint8_t((r * 299 + g * 587 + b * 114) / 1000);
}

class JpegSource final : public PageSource {
public:
  JpegSource(std::string path, uint64_t maxPixels)
      : m_path(std::move(path)), m_maxPixels(maxPixels) {}
  int pageCount() const override { return 1; }

  SourcePage readPage(int, const FaxGrid& grid) override {
    std::FILE* f = std::fopen(m_path.c_str(), "rb");
    if (!f)
      throw ImportError(ecFileNotFound, "File not found: " + m_path);
    jpeg_decompress_struct cinfo{};
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jpegExit;
    errors.pub.output_message = jpegMessage;
    SourcePage page;
    std::string refusal;
    if (setjmp(errors.jump) == 0) {
      jpeg_create_decompress(&cinfo);
      jpeg_stdio_src(&cinfo, f);
      jpeg_read_header(&cinfo, TRUE);
      refusal = decode(cinfo, grid, page.grey);
    } else {
      refusal = "The JPEG file is damaged (" + std::string(errors.message) + "): " + m_path;
    }
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    if (!refusal.empty())
      throw ImportError(ecBadGraphicsFormat, refusal);
    return page;
  }

private:
  std::string decode(jpeg_decompress_struct& cinfo, const FaxGrid& grid, GreyImage& g) {
    try {
      checkSourceSize(cinfo.image_width, cinfo.image_height, "The JPEG image", m_maxPixels);
    } catch (const ImportError& e) {
      return e.what();
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_GRAYSCALE;
    // Decode no larger than twice the fax width: the rest would be averaged
    // away anyway.
    unsigned denom = 1;
    while (denom < 8 && cinfo.image_width / (denom * 2) >= unsigned(2 * grid.width))
      denom *= 2;
    cinfo.scale_num = 1;
    cinfo.scale_denom = denom;
    jpeg_start_decompress(&cinfo);
    g.width = int(cinfo.output_width);
    g.height = int(cinfo.output_height);
    if (cinfo.density_unit == 1 || cinfo.density_unit == 2) {
      const double perInch = cinfo.density_unit == 1 ? 1.0 : 2.54;
      g.xdpi = cinfo.X_density * perInch / denom;
      g.ydpi = cinfo.Y_density * perInch / denom;
    }
    g.pixels.assign(std::size_t(g.width) * std::size_t(g.height), 255);
    // A member, not a local: a decoding error jumps out of this function.
    m_line.assign(std::size_t(g.width) * std::size_t(cinfo.output_components), 0);
    while (cinfo.output_scanline < cinfo.output_height) {
      uint8_t* out = g.row(int(cinfo.output_scanline));
      JSAMPROW rows[1] = {cmyk ? m_line.data() : out};
      jpeg_read_scanlines(&cinfo, rows, 1);
      if (cmyk)
        for (int x = 0; x < g.width; ++x)
          out[x] = cmykGrey(m_line.data() + 4 * x, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    return {};
  }

  std::string m_path;
  uint64_t m_maxPixels;
  std::vector<JSAMPLE> m_line;
};

} // namespace

std::unique_ptr<PageSource> openJpegSource(const std::string& path, const SourceLimits& limits) {
  return std::make_unique<JpegSource>(path, limits.maxPixels);
}

} // namespace docimport
