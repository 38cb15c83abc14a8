#pragma once
// TFxFaxViewer: the fax viewer control placed on windows. It holds the
// viewer engine, passes its window's events on to it and turns its
// properties into the engine's messages; errors the engine returns are raised
// as exceptions of the fax error family.

#include "faximage/FaxUnpacker.h"
#include "faxview/TViewer.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>

#include <memory>

namespace faxview {

enum TBorderStyle { bsNone, bsSingle };

class TFxCustomFaxViewer : public QAbstractScrollArea, private ViewerHost {
  Q_OBJECT
public:
  explicit TFxCustomFaxViewer(QWidget* parent = nullptr);
  ~TFxCustomFaxViewer() override;
  Q_DISABLE_COPY(TFxCustomFaxViewer)

  TBorderStyle BorderStyle() const { return m_borderStyle; }
  void SetBorderStyle(TBorderStyle style);
  QColor FGColor() const { return m_fg; }
  void SetFGColor(const QColor& c);
  QColor BGColor() const { return m_bg; }
  void SetBGColor(const QColor& c);
  bool Scaling() const { return m_scaling; }
  void SetScaling(bool on);
  unsigned HorizMult() const { return m_scale.horizMult; }
  unsigned HorizDiv() const { return m_scale.horizDiv; }
  unsigned VertMult() const { return m_scale.vertMult; }
  unsigned VertDiv() const { return m_scale.vertDiv; }
  void SetHorizMult(unsigned v) { setFactor(m_scale.horizMult, v); }
  void SetHorizDiv(unsigned v) { setFactor(m_scale.horizDiv, v); }
  void SetVertMult(unsigned v) { setFactor(m_scale.vertMult, v); }
  void SetVertDiv(unsigned v) { setFactor(m_scale.vertDiv, v); }
  faximage::TAutoScaleMode AutoScaleMode() const { return m_autoScale; }
  void SetAutoScaleMode(faximage::TAutoScaleMode mode);
  bool WhitespaceCompression() const { return m_whitespace; }
  void SetWhitespaceCompression(bool on);
  unsigned WhitespaceFrom() const { return m_whiteFrom; }
  unsigned WhitespaceTo() const { return m_whiteTo; }
  void SetWhitespaceFrom(unsigned v);
  void SetWhitespaceTo(unsigned v);
  unsigned HorizScroll() const { return m_hStep; }
  unsigned VertScroll() const { return m_vStep; }
  void SetHorizScroll(unsigned v);
  void SetVertScroll(unsigned v);
  bool AcceptDragged() const { return m_acceptDragged; }
  void SetAcceptDragged(bool on) { m_acceptDragged = on; }
  bool LoadWholeFax() const { return m_loadWholeFax; }
  void SetLoadWholeFax(bool on);
  Qt::CursorShape BusyCursor() const { return m_busyCursor; }
  void SetBusyCursor(Qt::CursorShape shape);
  QString FileName() const { return m_fileName; }
  void SetFileName(const QString& name);

  int QuarterTurns() const;
  void SetQuarterTurns(int turns);
  int ShownPage() const;
  void SetShownPage(int page);
  int PageTotal() const;
  int ShownPageWidth() const;
  void ShowFirstPage();
  void ShowLastPage();
  void ShowNextPage();
  void ShowPreviousPage();
  void LockUpdates();
  void UnlockUpdates();

  // Sends a message to the engine and raises a negative result.
  intptr_t Perform(unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  TViewer& Engine() { return *m_viewer; }
  const TViewer& Engine() const { return *m_viewer; }

signals:
  void OnDropFile(const QString& fileName);
  void OnPageChange();
  void OnViewerError(int errorCode);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  // ViewerHost
  QSize ClientSize() const override;
  void SetScrollBars(int hMax, int hPos, int vMax, int vPos) override;
  void InvalidateAll() override;
  void InvalidateRect(const QRect& r) override;
  void ScrollContent(int dx, int dy) override;
  void SetBusy(bool busy, Qt::CursorShape shape) override;
  void CaptureMouse(bool on) override;
  QPoint PointerPos() const override { return m_pointer; }
  void Notify(unsigned msg, intptr_t wParam, intptr_t lParam) override;

  void setFactor(unsigned& factor, unsigned v);
  void sendScale();
  void sendWhitespace();
  bool hasFile() const { return !m_fileName.isEmpty(); }

  std::unique_ptr<TViewer> m_viewer;
  TBorderStyle m_borderStyle = bsSingle;
  QColor m_fg = Qt::black;
  QColor m_bg = Qt::white;
  bool m_scaling = false;
  TViewScale m_scale;
  faximage::TAutoScaleMode m_autoScale = faximage::asDoubleHeight;
  bool m_whitespace = false;
  unsigned m_whiteFrom = 0, m_whiteTo = 0;
  unsigned m_hStep = 8, m_vStep = 8;
  bool m_acceptDragged = true;
  bool m_loadWholeFax = false;
  Qt::CursorShape m_busyCursor = Qt::ArrowCursor;
  QString m_fileName;
  QPoint m_pointer;
  bool m_settingBars = false;
};

class TFxFaxViewer : public TFxCustomFaxViewer {
  Q_OBJECT
public:
  using TFxCustomFaxViewer::TFxCustomFaxViewer;
};

} // namespace faxview
