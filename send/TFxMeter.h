#pragma once
// The progress bar of the fax status window: a bevelled box filled with
// segments of Step pixels, the last one cut short when the bar is full.

#include <QColor>
#include <QWidget>

#include <functional>

class TFxMeter : public QWidget {
  Q_OBJECT
public:
  explicit TFxMeter(QWidget* parent = nullptr);

  QColor BarColor() const { return m_barColor; }
  void SetBarColor(const QColor& c);
  QColor BevelColor1() const { return m_bevel1; }
  void SetBevelColor1(const QColor& c);
  QColor BevelColor2() const { return m_bevel2; }
  void SetBevelColor2(const QColor& c);
  // 0 lowered, 1 raised.
  int BevelStyle() const { return m_bevelStyle; }
  void SetBevelStyle(int style);
  int Min() const { return m_min; }
  void SetMin(int v);
  int Max() const { return m_max; }
  void SetMax(int v);
  int Position() const { return m_position; }
  void SetPosition(int v);
  // Segment width in pixels.
  int Step() const { return m_step; }
  void SetStep(int v);

  // Whole segments drawn, and the width of a partial last one (0 = none).
  int SegmentCount() const { return m_segments; }
  int PartialSegment() const { return m_partial; }
  // Repaints since creation (the status window must not repaint the bar
  // for every status event).
  int PaintCount() const { return m_paints; }

  // Fires when the drawn segments changed.
  std::function<void(TFxMeter&)> OnPosChange;

  QSize sizeHint() const override { return {150, 16}; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  // Recounts the segments; true when the count or the partial one changed.
  bool Recompute();
  void RecomputeAndRepaint(bool alwaysRepaint);

  QColor m_barColor, m_bevel1, m_bevel2;
  int m_bevelStyle = 0;
  int m_min = 0, m_max = 100, m_position = 0, m_step = 8;
  int m_segments = 0, m_partial = 0;
  int m_paints = 0;
};
