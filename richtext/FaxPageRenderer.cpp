#include "richtext/FaxPageRenderer.h"

#include "docimport/Halftone.h"
#include "richtext/Units.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace richtext {
namespace {

constexpr double kFaxDpi = 200;
constexpr int kDotsPerMeter = 7874; // 200 per inch

// Anything darker than mid grey becomes black. Eight white pixels at a time
// are passed over: a text page is mostly paper.
void thresholdRow(const uchar* src, std::uint8_t* dst, int width) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, src + x, sizeof eight);
    if (eight == ~std::uint64_t(0))
      continue;
    std::uint8_t bits = 0;
    for (int i = 0; i < 8; ++i)
      bits = std::uint8_t(bits | ((src[x + i] < 128) << (7 - i)));
    dst[x >> 3] |= bits;
  }
  for (; x < width; ++x)
    dst[x >> 3] |= std::uint8_t((src[x] < 128) << (7 - (x & 7)));
}

bool hasPictures(const QTextDocument& doc) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat())
        return true;
  return false;
}

} // namespace

TFaxPageRenderer::TFaxPageRenderer(const QTextDocument& source, const TFaxPageArea& area,
                                   int maxLineWidth)
    : m_doc(source.clone()), m_area(area), m_device(8, 8, QImage::Format_Grayscale8),
      m_canvas(kFaxPageWidth, kFaxPageHeight, QImage::Format_Grayscale8) {
  m_device.setDotsPerMeterX(kDotsPerMeter);
  m_device.setDotsPerMeterY(kDotsPerMeter);
  m_canvas.setDotsPerMeterX(kDotsPerMeter);
  m_canvas.setDotsPerMeterY(kDotsPerMeter);
  m_doc->documentLayout()->setPaintDevice(&m_device);
  // Fax pixels are black or white: glyphs drawn without grey edges stay sharp
  // after thresholding.
  QFont font = m_doc->defaultFont();
  font.setStyleStrategy(QFont::NoAntialias);
  m_doc->setDefaultFont(font);
  m_doc->setDocumentMargin(0);
  int width = std::max(1, area.right - area.left);
  if (maxLineWidth > 0)
    width = std::min(width, maxLineWidth);
  m_doc->setTextWidth(width);
  scaleParagraphs();
  collectLines();
  m_hasPictures = hasPictures(*m_doc);
}

void TFaxPageRenderer::scaleParagraphs() {
  // Qt scales glyphs, tab stops and line heights to the paint device but
  // takes paragraph indents and spacing as device pixels.
  const double k = kFaxDpi / unitsPerInch();
  // One edit for all blocks: the document is laid out once at its end, not
  // after every block (which made long documents quadratic).
  QTextCursor edit(m_doc.get());
  edit.beginEditBlock();
  for (QTextBlock b = m_doc->begin(); b.isValid(); b = b.next()) {
    QTextBlockFormat f = b.blockFormat();
    if (f.leftMargin() == 0 && f.rightMargin() == 0 && f.textIndent() == 0 && f.topMargin() == 0 &&
        f.bottomMargin() == 0)
      continue;
    f.setLeftMargin(f.leftMargin() * k);
    f.setRightMargin(f.rightMargin() * k);
    f.setTextIndent(f.textIndent() * k);
    f.setTopMargin(f.topMargin() * k);
    f.setBottomMargin(f.bottomMargin() * k);
    QTextCursor(b).setBlockFormat(f);
  }
  edit.endEditBlock();
}

TFaxPageRenderer::~TFaxPageRenderer() = default;

void TFaxPageRenderer::collectLines() {
  QAbstractTextDocumentLayout* layout = m_doc->documentLayout();
  for (QTextBlock b = m_doc->begin(); b.isValid(); b = b.next()) {
    layout->blockBoundingRect(b); // makes sure the block is laid out
    const QTextLayout* tl = b.layout();
    if (!tl || !b.isVisible())
      continue;
    const double blockTop = tl->position().y();
    const bool breakBefore =
        b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
    for (int i = 0; i < tl->lineCount(); ++i) {
      const QTextLine line = tl->lineAt(i);
      const double top = blockTop + line.y();
      m_lines.push_back(
          {b.position() + line.textStart(), top, top + line.height(), breakBefore && i == 0});
    }
  }
}

std::size_t TFaxPageRenderer::lineAt(int position) const {
  auto it = std::upper_bound(m_lines.begin(), m_lines.end(), position,
                             [](int pos, const Line& l) { return pos < l.position; });
  return it == m_lines.begin() ? 0 : std::size_t(it - m_lines.begin() - 1);
}

int TFaxPageRenderer::drawPage(int start, faximage::PageBitmap& page) {
  page.clear();
  if (m_lines.empty() || start < 0 || start >= m_doc->characterCount() - 1)
    return 0;
  const std::size_t first = lineAt(start);
  const double pageTop = m_lines[first].top;
  const double room = m_area.bottom - m_area.top;
  std::size_t end = first + 1; // the first line is always drawn, so pages always advance
  while (end < m_lines.size() && !m_lines[end].pageBreakBefore &&
         m_lines[end].bottom - pageTop <= room)
    ++end;
  const double cut = end < m_lines.size() ? m_lines[end].top : m_lines.back().bottom + 1;
  paint(pageTop, std::min(cut, pageTop + room), page);
  return end < m_lines.size() ? m_lines[end].position : 0;
}

void TFaxPageRenderer::paint(double fromY, double toY, faximage::PageBitmap& page) {
  // Only the rows of the drawn lines can hold ink; the rest stays white.
  const int firstRow = std::clamp(m_area.top, 0, m_canvas.height());
  const int endRow = std::clamp(int(std::ceil(m_area.top + toY - fromY)) + 1, firstRow,
                                std::min(m_canvas.height(), page.height()));
  for (int y = firstRow; y < endRow; ++y)
    std::memset(m_canvas.scanLine(y), 255, std::size_t(m_canvas.bytesPerLine()));
  {
    QPainter p(&m_canvas);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true); // pictures: averaged, not sampled
    p.translate(m_area.left, m_area.top - fromY);
    const QRectF band(-m_area.left, fromY, m_canvas.width(), toY - fromY);
    p.setClipRect(band);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = band;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    m_doc->documentLayout()->draw(&p, ctx);
  }
  // Text is drawn without grey edges, so the threshold keeps it as drawn;
  // pictures are drawn smoothly and their areas, found by their mid tones,
  // are error-diffused so that photographs keep their tones.
  const int w = std::min(page.width(), m_canvas.width());
  if (!m_hasPictures) {
    // Text alone: the threshold is all it needs, and the search for photo
    // areas would cost a quarter of building a fax file.
    for (int y = firstRow; y < endRow; ++y)
      thresholdRow(m_canvas.constScanLine(y), page.row(y), w);
    return;
  }
  docimport::GreyImage grey;
  grey.width = w;
  grey.height = std::max(0, endRow - firstRow);
  grey.pixels.resize(std::size_t(grey.width) * std::size_t(grey.height));
  for (int y = 0; y < grey.height; ++y)
    std::memcpy(grey.row(y), m_canvas.constScanLine(firstRow + y), std::size_t(w));
  faximage::PageBitmap bits;
  docimport::halftone(grey, docimport::Halftone::Auto, bits);
  for (int y = 0; y < grey.height; ++y) {
    std::uint8_t* dst = page.row(firstRow + y);
    const std::uint8_t* src = bits.row(y);
    for (std::size_t i = 0; i < bits.stride(); ++i)
      dst[i] |= src[i];
  }
}

} // namespace richtext
