// PDF pages drawn by poppler's C++ library (no Qt) straight at the fax grid.

#include "docimport/FaxFit.h"
#include "docimport/PageSource.h"
#include "platform/FxErrors.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <cstring>
#include <mutex>

namespace docimport {

namespace {

// Poppler reports every syntax problem it repairs on stderr; damaged files
// are reported by what the import can or cannot do with them instead.
void quietPoppler(const std::string&, void*) {}

class PdfSource final : public PageSource {
public:
  PdfSource(const std::string& path, int maxPages) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { poppler::set_debug_error_function(quietPoppler, nullptr); });
    m_doc.reset(poppler::document::load_from_file(path));
    if (!m_doc)
      throw ImportError(ecBadGraphicsFormat,
                        "The PDF file is damaged or protected and cannot be read: " + path);
    if (m_doc->is_locked())
      throw ImportError(ecBadGraphicsFormat,
                        "The PDF file is protected by a password and cannot be faxed: " + path);
    m_pages = m_doc->pages();
    if (m_pages <= 0)
      throw ImportError(ecBadGraphicsFormat, "The PDF file has no pages: " + path);
    if (m_pages > maxPages)
      throw ImportError(ecBadGraphicsFormat, "The PDF file has " + std::to_string(m_pages) +
                                                 " pages; at most " + std::to_string(maxPages) +
                                                 " pages can be faxed at once.");
  }

  int pageCount() const override { return m_pages; }

  SourcePage readPage(int index, const FaxGrid& grid) override {
    std::unique_ptr<poppler::page> page(m_doc->create_page(index));
    if (!page)
      throw ImportError(ecBadGraphicsFormat, pageText(index) + " of the PDF file is damaged.");
    const poppler::rectf box = page->page_rect(poppler::crop_box);
    double w = box.width(), h = box.height();
    const auto turn = page->orientation();
    if (turn == poppler::page::landscape || turn == poppler::page::seascape)
      std::swap(w, h);
    if (!(w >= 1 && h >= 1 && w < 1e6 && h < 1e6))
      throw ImportError(ecBadGraphicsFormat, pageText(index) + " of the PDF file has no size.");
    // Points are 1/72 inch: the page keeps its printed size when it fits.
    const PageSize size = fitSize(int(w * 100), int(h * 100), 7200, 7200, grid);
    const double xres = size.width * 72.0 / w, yres = size.height * 72.0 / h;
    poppler::image img = renderer().render_page(page.get(), xres, yres);
    if (!img.is_valid() || img.format() != poppler::image::format_gray8)
      throw ImportError(ecBadGraphicsFormat, pageText(index) + " of the PDF file cannot be drawn.");
    SourcePage out;
    out.atFaxGrid = true;
    GreyImage& g = out.grey;
    g.width = img.width();
    g.height = std::min(img.height(), grid.maxRows);
    g.pixels.resize(std::size_t(g.width) * std::size_t(g.height));
    for (int y = 0; y < g.height; ++y)
      std::memcpy(g.row(y), img.const_data() + std::size_t(y) * std::size_t(img.bytes_per_row()),
                  std::size_t(g.width));
    return out;
  }

private:
  static std::string pageText(int index) { return "Page " + std::to_string(index + 1); }

  // Drawn as a fax machine prints: no smoothed edges, which would only be
  // thresholded away again and cost twice the drawing time, and thin lines
  // solid, so that hairlines and table rules drawn thinner than a fax pixel
  // stay one pixel wide instead of fading to grey and vanishing. Pictures
  // keep their grey levels for the halftoning.
  const poppler::page_renderer& renderer() {
    if (!m_renderer) {
      m_renderer = std::make_unique<poppler::page_renderer>();
      m_renderer->set_render_hint(poppler::page_renderer::antialiasing, false);
      m_renderer->set_render_hint(poppler::page_renderer::text_antialiasing, false);
      m_renderer->set_line_mode(poppler::page_renderer::line_solid);
      m_renderer->set_image_format(poppler::image::format_gray8);
      m_renderer->set_paper_color(0xFFFFFFFF);
    }
    return *m_renderer;
  }

  std::unique_ptr<poppler::document> m_doc;
  std::unique_ptr<poppler::page_renderer> m_renderer;
  int m_pages = 0;
};

} // namespace

std::unique_ptr<PageSource> openPdfSource(const std::string& path, const SourceLimits& limits) {
  return std::make_unique<PdfSource>(path, limits.maxPages);
}

void checkSourceSize(uint64_t width, uint64_t height, const std::string& what, uint64_t maxPixels) {
  if (width == 0 || height == 0)
    throw ImportError(ecBadGraphicsFormat, what + " has no pixels.");
  if (width > uint64_t(kMaxSourceSide) || height > uint64_t(kMaxSourceSide) ||
      width * height > maxPixels)
    throw ImportError(ecBadGraphicsFormat, what + " is too large to fax (" + std::to_string(width) +
                                               " x " + std::to_string(height) + " pixels).");
}

} // namespace docimport
