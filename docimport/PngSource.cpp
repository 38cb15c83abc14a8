// PNG pages through libpng, decoded straight to 8-bit grey on white.

#include "docimport/PageSource.h"
#include "platform/FxErrors.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace docimport {

namespace {

struct PngFailure {
  char message[200] = "";
};

void pngError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

class PngSource final : public PageSource {
public:
  PngSource(std::string path, uint64_t maxPixels)
      : m_path(std::move(path)), m_maxPixels(maxPixels) {}
  int pageCount() const override { return 1; }

  SourcePage readPage(int, const FaxGrid&) override {
    std::FILE* f = std::fopen(m_path.c_str(), "rb");
    if (!f)
      throw ImportError(ecFileNotFound, "File not found: " + m_path);
    SourcePage page;
    PngFailure failure;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = info != nullptr;
    std::string tooLarge;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
      png_init_io(png, f);
      png_read_info(png, info);
      tooLarge = decode(png, info, page.grey);
    } else {
      ok = false;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    if (!tooLarge.empty())
      throw ImportError(ecBadGraphicsFormat, tooLarge);
    if (!ok)
      throw ImportError(ecBadGraphicsFormat, "The PNG file is damaged (" +
                                                 std::string(failure.message) + "): " + m_path);
    return page;
  }

private:
  // Runs under the caller's setjmp; returns the text of a size refusal.
  std::string decode(png_structp png, png_infop info, GreyImage& g) {
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    try {
      checkSourceSize(w, h, "The PNG image", m_maxPixels);
    } catch (const ImportError& e) {
      return e.what();
    }
    png_set_expand(png);
    png_set_strip_16(png);
    if (png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR ||
        png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE)
      png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    // Transparent parts are shown on white paper.
    png_color_16 white{0, 255, 255, 255, 255};
    png_set_background_fixed(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, PNG_FP_1);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != w)
      png_error(png, "unexpected pixel layout");
    g.width = int(w);
    g.height = int(h);
    png_uint_32 xppm = 0, yppm = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xppm, &yppm, &unit) && unit == PNG_RESOLUTION_METER && xppm &&
        yppm) {
      g.xdpi = xppm * 0.0254;
      g.ydpi = yppm * 0.0254;
    }
    g.pixels.assign(std::size_t(w) * h, 255);
    // A member, not a local: a decoding error jumps out of this function.
    m_rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y)
      m_rows[y] = g.row(int(y));
    png_read_image(png, m_rows.data());
    return {};
  }

  std::string m_path;
  uint64_t m_maxPixels;
  std::vector<png_bytep> m_rows;
};

} // namespace

std::unique_ptr<PageSource> openPngSource(const std::string& path, const SourceLimits& limits) {
  return std::make_unique<PngSource>(path, limits.maxPixels);
}

} // namespace docimport
