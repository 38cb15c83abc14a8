// Scroll ranges, scrolling and the keyboard of the viewer engine.
#include "faxview/TViewer.h"

#include <algorithm>

namespace faxview {

// The largest position shows the page's last row or column at the window's
// edge; a page that fits has no range (the bar hides).
void TViewer::vCalcMaxScrollPos() {
  const QSize client = m_host.ClientSize();
  m_hMax = std::max(0, m_dispW - client.width());
  m_vMax = std::max(0, m_dispH - client.height());
}

void TViewer::vUpdateScrollThumb() {
  m_host.SetScrollBars(m_hMax, m_hPos, m_vMax, m_vPos);
}

void TViewer::vInitScrollbars() {
  vCalcMaxScrollPos();
  const int h = std::min(m_hPos, m_hMax), v = std::min(m_vPos, m_vMax);
  if (h != m_hPos || v != m_vPos) {
    m_hPos = h;
    m_vPos = v;
    vInvalidateAll();
  }
  vUpdateScrollThumb();
}

// Moves the view to (h, v) within the ranges: the window content moves and
// only the uncovered band is repainted.
void TViewer::vScrollTo(int h, int v) {
  h = std::clamp(h, 0, m_hMax);
  v = std::clamp(v, 0, m_vMax);
  const int dx = m_hPos - h, dy = m_vPos - v;
  if (dx == 0 && dy == 0)
    return;
  m_hPos = h;
  m_vPos = v;
  const QSize client = m_host.ClientSize();
  if (std::abs(dx) >= client.width() || std::abs(dy) >= client.height())
    vInvalidateAll();
  else
    m_host.ScrollContent(dx, dy);
  vUpdateScrollThumb();
}

void TViewer::wmSize() {
  if (!m_fileName.empty())
    vInitScrollbars();
}

void TViewer::wmHScroll(int position) {
  vScrollTo(position, m_vPos);
}

void TViewer::wmVScroll(int position) {
  vScrollTo(m_hPos, position);
}

bool TViewer::wmKeyDown(int key, bool ctrl) {
  if (m_marking)
    return true;
  if (key == Qt::Key_Control) {
    m_ctrlDown = true;
    return true;
  }
  ctrl = ctrl || m_ctrlDown;
  const int jumpH = 10 * m_hStep, jumpV = 10 * m_vStep;
  switch (key) {
  case Qt::Key_PageUp:
    ctrl ? vHomeVertical() : vPageUp();
    return true;
  case Qt::Key_PageDown:
    ctrl ? vEndVertical() : vPageDown();
    return true;
  case Qt::Key_Home:
    ctrl ? vFirstPage() : vHomeHorizontal();
    return true;
  case Qt::Key_End:
    ctrl ? vLastPage() : vEndHorizontal();
    return true;
  case Qt::Key_Left:
    vScrollLeft(ctrl ? jumpH : m_hStep);
    return true;
  case Qt::Key_Right:
    vScrollRight(ctrl ? jumpH : m_hStep);
    return true;
  case Qt::Key_Up:
    vScrollUp(ctrl ? jumpV : m_vStep);
    return true;
  case Qt::Key_Down:
    vScrollDown(ctrl ? jumpV : m_vStep);
    return true;
  default:
    return false;
  }
}

void TViewer::wmKeyUp(int key) {
  if (key == Qt::Key_Control)
    m_ctrlDown = false;
}

} // namespace faxview
