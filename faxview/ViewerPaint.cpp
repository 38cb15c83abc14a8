// Painting of the viewer engine. The current page is turned into the image
// shown once, when the page, its turn or its scale changes; painting then
// only copies the visible part. A shrunken page becomes gray levels (the
// share of black pixels under each screen pixel) so that a fine page stays
// readable at 50 % or 25 %; the fax bits themselves are never changed.
#include "faxview/TViewer.h"

#include "faxview/PageTransforms.h"

#include <QPainter>

namespace faxview {

namespace {
QRgb blend(const QColor& bg, const QColor& fg, int coverage) {
  auto mix = [coverage](int b, int f) { return (b * (255 - coverage) + f * coverage + 127) / 255; };
  return qRgb(mix(bg.red(), fg.red()), mix(bg.green(), fg.green()), mix(bg.blue(), fg.blue()));
}
} // namespace

void TViewer::vSetColors() {
  if (m_display.format() == QImage::Format_Mono) {
    m_display.setColorTable({m_bg.rgb(), m_fg.rgb()});
  } else if (m_display.format() == QImage::Format_Indexed8) {
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
      table[i] = blend(m_bg, m_fg, i);
    m_display.setColorTable(table);
  }
  vInvalidateAll();
}

void TViewer::vBuildDisplay() {
  m_display = QImage();
  const faximage::PageBitmap* bm = CurrentBitmap();
  if (!bm || m_dispW <= 0 || m_dispH <= 0)
    return;
  const bool shrinking = m_scale.horizMult < m_scale.horizDiv || m_scale.vertMult < m_scale.vertDiv;
  if (shrinking) {
    m_display = QImage(m_dispW, m_dispH, QImage::Format_Indexed8);
    if (m_display.isNull())
      return;
    ScaleToCoverage(*bm, m_dispW, m_dispH, m_display.bits(), int(m_display.bytesPerLine()));
  } else {
    m_display = QImage(m_dispW, m_dispH, QImage::Format_Mono);
    if (m_display.isNull())
      return;
    if (m_dispW == bm->width() && m_dispH == bm->height()) {
      for (int y = 0; y < m_dispH; ++y)
        std::copy_n(bm->row(y), bm->stride(), m_display.scanLine(y));
    } else {
      ScaleNearestMono(*bm, m_dispW, m_dispH, m_display.bits(), int(m_display.bytesPerLine()));
    }
  }
  vSetColors();
}

void TViewer::wmPaint(QPainter& painter, const QRect& area) {
  vPaint(painter, area);
}

void TViewer::vPaint(QPainter& painter, const QRect& area) {
  painter.fillRect(area, m_bg);
  if (m_designMode) {
    painter.setPen(m_fg);
    painter.drawText(QPoint(3, 3 + painter.fontMetrics().ascent()),
                     QString::fromStdString(m_designCaption));
    return;
  }
  if (m_display.isNull())
    return;
  // The page's part of the area; right of and below the page stays background.
  const QRect page = QRect(-m_hPos, -m_vPos, m_dispW, m_dispH).intersected(area);
  if (page.isEmpty())
    return;
  painter.drawImage(page, m_display, page.translated(m_hPos, m_vPos));
  vPaintWordMarks(painter, page);
  if (!m_markOn)
    return;
  const QRect mark = vGetMarkClientIntersection(MarkRect()).intersected(page);
  if (mark.isEmpty())
    return;
  QImage inverted = m_display.copy(mark.translated(m_hPos, m_vPos));
  inverted.invertPixels();
  painter.drawImage(mark.topLeft(), inverted);
}

} // namespace faxview
