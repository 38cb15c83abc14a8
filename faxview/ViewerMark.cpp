// Marking a rectangle with the mouse (with auto-scroll past the window's
// edges) and copying the marked pixels to the clipboard.
#include "faxview/TViewer.h"

#include "faxview/PageTransforms.h"
#include "platform/FxErrors.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

namespace faxview {

QRect TViewer::MarkRect() const {
  return m_markOn ? QRect(QPoint(m_markL, m_markT), QPoint(m_markR, m_markB)) : QRect();
}

// The visible part of a mark (displayed-page pixels) in client coordinates.
QRect TViewer::vGetMarkClientIntersection(const QRect& mark) const {
  const QRect client(QPoint(0, 0), m_host.ClientSize());
  return mark.translated(-m_hPos, -m_vPos).intersected(client);
}

int TViewer::vSelect(const TViewRect& r) {
  if (!CurrentBitmap() || m_dispW <= 0 || m_dispH <= 0)
    return ecNoImageLoaded;
  const QRect old = MarkRect();
  m_markL = std::clamp(std::min(r.left, r.right), 0, m_dispW - 1);
  m_markR = std::clamp(std::max(r.left, r.right), 0, m_dispW - 1);
  m_markT = std::clamp(std::min(r.top, r.bottom), 0, m_dispH - 1);
  m_markB = std::clamp(std::max(r.top, r.bottom), 0, m_dispH - 1);
  m_markOn = true;
  m_host.InvalidateRect(vGetMarkClientIntersection(old.united(MarkRect())));
  return 0;
}

void TViewer::vRemoveMark() {
  if (!m_markOn)
    return;
  const QRect old = MarkRect();
  m_markOn = false;
  m_host.InvalidateRect(vGetMarkClientIntersection(old));
}

void TViewer::wmLButtonDown(QPoint pos) {
  if (!CurrentBitmap() || m_marking || m_dispW <= 0 || m_dispH <= 0)
    return;
  vRemoveMark();
  const int x = std::clamp(pos.x() + m_hPos, 0, m_dispW - 1);
  const int y = std::clamp(pos.y() + m_vPos, 0, m_dispH - 1);
  m_markL = m_markR = x;
  m_markT = m_markB = y;
  m_markOn = true;
  m_dragCorner = 1;
  m_marking = true;
  m_host.CaptureMouse(true);
}

// Moves the dragged corner to a client point; the corners are kept in order
// and the corner number follows the pointer.
void TViewer::vUpdateMarkRect(QPoint client) {
  const QRect old = MarkRect();
  const int x = std::clamp(client.x() + m_hPos, 0, std::max(0, m_dispW - 1));
  const int y = std::clamp(client.y() + m_vPos, 0, std::max(0, m_dispH - 1));
  // The fixed corner is the one diagonally opposite the dragged one.
  const bool dragLeft = m_dragCorner == 1 || m_dragCorner == 4;
  const bool dragTop = m_dragCorner == 1 || m_dragCorner == 2;
  const int fixedX = dragLeft ? m_markR : m_markL;
  const int fixedY = dragTop ? m_markB : m_markT;
  m_markL = std::min(x, fixedX);
  m_markR = std::max(x, fixedX);
  m_markT = std::min(y, fixedY);
  m_markB = std::max(y, fixedY);
  const bool left = x < fixedX, top = y < fixedY;
  m_dragCorner = top ? (left ? 1 : 2) : (left ? 4 : 3);
  m_host.InvalidateRect(vGetMarkClientIntersection(old.united(MarkRect())));
}

void TViewer::wmMouseMove(QPoint pos) {
  if (!m_marking)
    return;
  const QRect client(QPoint(0, 0), m_host.ClientSize());
  if (client.contains(pos)) {
    m_markTimer.stop();
    vUpdateMarkRect(pos);
  } else if (!m_markTimer.isActive()) {
    vAutoScrollStep();
    m_markTimer.start();
  }
}

void TViewer::wmTimer() {
  if (m_marking)
    vAutoScrollStep();
  else
    m_markTimer.stop();
}

// Outside the window the view scrolls towards the pointer by one step, or
// two when the pointer is more than 20 pixels out.
void TViewer::vAutoScrollStep() {
  const QPoint p = m_host.PointerPos();
  const QSize c = m_host.ClientSize();
  auto steps = [](int outside, int step) { return outside > 20 ? 2 * step : step; };
  if (p.x() < 0)
    vScrollLeft(steps(-p.x(), m_hStep));
  else if (p.x() >= c.width())
    vScrollRight(steps(p.x() - c.width() + 1, m_hStep));
  if (p.y() < 0)
    vScrollUp(steps(-p.y(), m_vStep));
  else if (p.y() >= c.height())
    vScrollDown(steps(p.y() - c.height() + 1, m_vStep));
  vUpdateMarkRect(QPoint(std::clamp(p.x(), 0, std::max(0, c.width() - 1)),
                         std::clamp(p.y(), 0, std::max(0, c.height() - 1))));
}

void TViewer::wmLButtonUp(QPoint) {
  if (!m_marking)
    return;
  m_marking = false;
  m_markTimer.stop();
  m_host.CaptureMouse(false);
  if (m_markL == m_markR && m_markT == m_markB)
    vRemoveMark();
}

// The marked pixels as a one-bit image. When the page is scaled, the page
// area under the mark is copied into the mark's size (black kept).
int TViewer::vCopyToClipboard() {
  const faximage::PageBitmap* bm = CurrentBitmap();
  if (!bm)
    return ecNoImageLoaded;
  if (!m_markOn)
    return ecNoImageBlockMarked;
  const int w = m_markR - m_markL + 1, h = m_markB - m_markT + 1;
  const auto& s = m_scale;
  const int sx = int(int64_t(m_markL) * s.horizDiv / s.horizMult);
  const int sy = int(int64_t(m_markT) * s.vertDiv / s.vertMult);
  const int sw = std::max(1, int(int64_t(w) * s.horizDiv / s.horizMult));
  const int sh = std::max(1, int(int64_t(h) * s.vertDiv / s.vertMult));
  faximage::PageBitmap block;
  try {
    block = CopyBlock(*bm, sx, sy, sw, sh, w, h);
  } catch (const std::bad_alloc&) {
    return ecCantMakeBitmap;
  }
  QImage image(w, h, QImage::Format_Mono);
  if (image.isNull())
    return ecCantMakeBitmap;
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  for (int y = 0; y < h; ++y)
    std::copy_n(block.row(y), block.stride(), image.scanLine(y));
  QGuiApplication::clipboard()->setImage(image);
  return 0;
}

} // namespace faxview
