#include "send/TFxMeter.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>

TFxMeter::TFxMeter(QWidget* parent) : QWidget(parent) {
  const QPalette pal = palette();
  m_barColor = pal.color(QPalette::Highlight);
  m_bevel1 = pal.color(QPalette::Light);
  m_bevel2 = pal.color(QPalette::Dark);
  resize(150, 16);
  Recompute();
}

void TFxMeter::SetBarColor(const QColor& c) {
  if (c != m_barColor) {
    m_barColor = c;
    update();
  }
}

void TFxMeter::SetBevelColor1(const QColor& c) {
  if (c != m_bevel1) {
    m_bevel1 = c;
    update();
  }
}

void TFxMeter::SetBevelColor2(const QColor& c) {
  if (c != m_bevel2) {
    m_bevel2 = c;
    update();
  }
}

void TFxMeter::SetBevelStyle(int style) {
  if (style != m_bevelStyle) {
    m_bevelStyle = style;
    update();
  }
}

void TFxMeter::SetMin(int v) {
  if (v == m_min)
    return;
  m_min = v;
  RecomputeAndRepaint(true);
}

void TFxMeter::SetMax(int v) {
  if (v == m_max)
    return;
  m_max = v;
  RecomputeAndRepaint(true);
}

void TFxMeter::SetPosition(int v) {
  m_position = v;
  RecomputeAndRepaint(false);
}

void TFxMeter::SetStep(int v) {
  v = v > 0 ? v : 1;
  if (v == m_step)
    return;
  m_step = v;
  RecomputeAndRepaint(true);
}

bool TFxMeter::Recompute() {
  const int oldSegments = m_segments;
  const bool hadPartial = m_partial > 0;
  const int w = width();
  int count = 0;
  int partial = 0;
  if (m_position > m_min && m_max > m_min) {
    const long long span = static_cast<long long>(std::min(m_position, m_max) - m_min);
    count = static_cast<int>(span * ((w - 3) / m_step) / (m_max - m_min)) + 1;
    if (count * m_step > w - 4) {
      count = std::max(0, (w - 4) / m_step);
      partial = std::max(0, (w - 4) % m_step);
    }
  }
  m_segments = count;
  m_partial = partial;
  return count != oldSegments || (partial > 0) != hadPartial;
}

void TFxMeter::RecomputeAndRepaint(bool alwaysRepaint) {
  const bool changed = Recompute();
  if (changed || alwaysRepaint)
    update();
  if (changed && OnPosChange)
    OnPosChange(*this);
}

void TFxMeter::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RecomputeAndRepaint(true);
}

void TFxMeter::paintEvent(QPaintEvent*) {
  ++m_paints;
  QPainter p(this);
  const int w = width(), h = height();
  const QColor topLeft = m_bevelStyle == 0 ? m_bevel2 : m_bevel1;
  const QColor bottomRight = m_bevelStyle == 0 ? m_bevel1 : m_bevel2;
  p.setPen(QPen(topLeft, 1));
  p.drawLine(0, 0, w - 1, 0);
  p.drawLine(0, 0, 0, h - 1);
  p.setPen(QPen(bottomRight, 1));
  p.drawLine(w - 1, 0, w - 1, h - 1);
  p.drawLine(0, h - 1, w - 1, h - 1);
  // Segment i covers x = i*Step+2 up to (i+1)*Step, leaving a one-pixel gap.
  for (int i = 0; i < m_segments; ++i)
    p.fillRect(QRect(QPoint(i * m_step + 2, 2), QPoint((i + 1) * m_step - 1, h - 3)), m_barColor);
  if (m_partial > 0)
    p.fillRect(QRect(m_segments * m_step + 2, 2, m_partial, h - 4), m_barColor);
}
