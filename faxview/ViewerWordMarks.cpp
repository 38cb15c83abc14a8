// The words a search found, marked on the page shown: each word's box is
// carried from the page as coded to the page as shown (the unpacked size,
// the quarter turns, the zoom) and painted over in a light colour that
// multiplies with the page, so that black text stays black.
#include "faxview/TViewer.h"

#include <QPainter>

namespace faxview {

namespace {

// The box of a w x h page turned by `turns` quarter turns clockwise, as
// RotateQuarterTurns turns the pixels.
QRect turned(const QRect& r, int w, int h, int turns) {
  switch (turns) {
  case 1:
    return {h - r.y() - r.height(), r.x(), r.height(), r.width()};
  case 2:
    return {w - r.x() - r.width(), h - r.y() - r.height(), r.width(), r.height()};
  case 3:
    return {r.y(), w - r.x() - r.width(), r.height(), r.width()};
  default:
    return r;
  }
}

int scaled(int v, int mult, int div) {
  return div > 0 ? int(int64_t(v) * mult / div) : 0;
}

} // namespace

void TViewer::SetWordMarks(std::vector<WordMark> marks) {
  m_wordMarks = std::move(marks);
  vInvalidateAll();
}

std::vector<QRect> TViewer::WordMarkRects() const {
  std::vector<QRect> rects;
  if (!CurrentBitmap())
    return rects;
  const PageEntry& entry = m_pages[std::size_t(m_curPage - 1)];
  for (const WordMark& mark : m_wordMarks) {
    if (mark.Page != m_curPage || mark.PageSize.isEmpty() || mark.Box.isEmpty())
      continue;
    // Coded page to the page as unpacked (a standard page may be shown at
    // half width or double height).
    const int left = scaled(mark.Box.left(), entry.plainWidth, mark.PageSize.width());
    const int top = scaled(mark.Box.top(), entry.plainHeight, mark.PageSize.height());
    const int right =
        scaled(mark.Box.left() + mark.Box.width(), entry.plainWidth, mark.PageSize.width());
    const int bottom =
        scaled(mark.Box.top() + mark.Box.height(), entry.plainHeight, mark.PageSize.height());
    const QRect plain(left, top, std::max(1, right - left), std::max(1, bottom - top));
    const QRect onPage = turned(plain, entry.plainWidth, entry.plainHeight, m_rotation);
    const int x0 = scaled(onPage.left(), int(m_scale.horizMult), int(m_scale.horizDiv));
    const int y0 = scaled(onPage.top(), int(m_scale.vertMult), int(m_scale.vertDiv));
    const int x1 =
        scaled(onPage.left() + onPage.width(), int(m_scale.horizMult), int(m_scale.horizDiv));
    const int y1 =
        scaled(onPage.top() + onPage.height(), int(m_scale.vertMult), int(m_scale.vertDiv));
    rects.emplace_back(x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0));
  }
  return rects;
}

void TViewer::ShowFirstWordMark() {
  if (m_wordMarks.empty() || m_fileName.empty())
    return;
  const int page = m_wordMarks.front().Page;
  if (page != m_curPage && vGotoPage(page) < 0)
    return;
  const std::vector<QRect> rects = WordMarkRects();
  if (rects.empty())
    return;
  // The word a third down the window, and at the left edge only when it
  // would otherwise lie beyond the right one.
  const QSize client = m_host.ClientSize();
  const QRect& first = rects.front();
  vScrollTo(first.right() < client.width() ? 0 : first.left() - client.width() / 8,
            first.top() - client.height() / 3);
}

void TViewer::vPaintWordMarks(QPainter& painter, const QRect& page) {
  if (m_wordMarks.empty())
    return;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Multiply);
  for (const QRect& r : WordMarkRects()) {
    // A little room around the ink, as a highlighter would leave.
    const QRect shown = r.adjusted(-2, -2, 2, 2).translated(-m_hPos, -m_vPos).intersected(page);
    if (!shown.isEmpty())
      painter.fillRect(shown, QColor(255, 222, 60));
  }
  painter.restore();
}

} // namespace faxview
