#pragma once
// TViewer, the viewer engine: shows one page of an APF file at a time,
// scaled, turned in quarter turns, scrolled, with a marked rectangle that can
// go to the clipboard. It is driven by messages through Perform() and draws
// into the window of its host (the TFxFaxViewer control), which passes on
// paint, size, key, mouse, scroll, timer and drop events.

#include "faximage/PageBitmap.h"
#include "faximage/UnpackerEngine.h"
#include "faxview/ViewerMessages.h"
#include "faxview/WordMark.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace faxview {

// What the engine needs of its window.
class ViewerHost {
public:
  virtual ~ViewerHost() = default;
  virtual QSize ClientSize() const = 0;
  // Scroll bars: maximum and position of each direction (a maximum of 0 hides it).
  virtual void SetScrollBars(int hMax, int hPos, int vMax, int vPos) = 0;
  virtual void InvalidateAll() = 0;
  virtual void InvalidateRect(const QRect& r) = 0;
  // Moves the window content by (dx, dy); the host repaints the uncovered band.
  virtual void ScrollContent(int dx, int dy) = 0;
  virtual void SetBusy(bool busy, Qt::CursorShape shape) = 0;
  virtual void CaptureMouse(bool on) = 0;
  virtual QPoint PointerPos() const = 0; // in client coordinates
  // The engine's notifications to its window (page change, error).
  virtual void Notify(unsigned msg, intptr_t wParam, intptr_t lParam) = 0;
};

class TViewer {
public:
  explicit TViewer(ViewerHost& host);
  ~TViewer();
  TViewer(const TViewer&) = delete;
  TViewer& operator=(const TViewer&) = delete;

  // The message interface (ViewerMessages.h); returns the message's result.
  intptr_t Perform(unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0);

  // Window events passed on by the host.
  void wmPaint(QPainter& painter, const QRect& area);
  void wmSize();
  bool wmKeyDown(int key, bool ctrl); // false: not the viewer's key
  void wmKeyUp(int key);
  void wmLButtonDown(QPoint pos);
  void wmLButtonUp(QPoint pos);
  void wmMouseMove(QPoint pos);
  void wmTimer();
  void wmHScroll(int position); // scroll bar dragged or clicked
  void wmVScroll(int position);
  int wmDropFiles(const std::vector<std::string>& files);

  // State the control and tests read.
  const std::string& FileName() const { return m_fileName; }
  int PageCount() const { return int(m_pages.size()); }
  int CurrentPage() const { return m_curPage; }
  int Rotation() const { return m_rotation; }
  QSize DisplayedSize() const { return {m_dispW, m_dispH}; }
  QPoint ScrollPos() const { return {m_hPos, m_vPos}; }
  QPoint ScrollMax() const { return {m_hMax, m_vMax}; }
  bool HasMark() const { return m_markOn; }
  QRect MarkRect() const;
  int PagesHeld() const; // page bitmaps in existence
  const faximage::PageBitmap* CurrentBitmap() const;
  bool PageDamaged() const; // the current page was cut short by a file error
  const QImage& DisplayImage() const { return m_display; }

  // Words marked with a translucent colour on their pages (the words a
  // search found); an empty list marks none.
  void SetWordMarks(std::vector<WordMark> marks);
  // The current page's word marks in displayed-page pixels.
  std::vector<QRect> WordMarkRects() const;
  // Goes to the page of the first marked word and scrolls it into view.
  void ShowFirstWordMark();

private:
  struct PageEntry {
    int width = 0, height = 0;
    int plainWidth = 0, plainHeight = 0; // before turning
    std::unique_ptr<faximage::PageBitmap> bitmap;
    bool damaged = false;
  };

  // Pages (TViewer.cpp).
  int vSetFile(const std::string& name);
  void vDisposeFax();
  int vAllocFax(int pages);
  int vUnpack(int page, faximage::PageBitmap& out);
  int vLoadPage(int page);
  int vSetLoadWholeFax(bool on);
  int vRotatePage(int turns);
  int vSetScale(const TViewScale& s);
  int vGotoPage(int page);
  void vInitPage();
  void vPageUp();
  void vPageDown();
  void vFirstPage();
  void vLastPage();
  int vGetBitmap(int page, TViewBitmap* out);
  void vSetColors();
  void vBuildDisplay();
  void vFail(int code);

  // Scrolling (ViewerScroll.cpp).
  void vInitScrollbars();
  void vCalcMaxScrollPos();
  void vUpdateScrollThumb();
  void vScrollTo(int h, int v);
  void vScrollUp(int n) { vScrollTo(m_hPos, m_vPos - n); }
  void vScrollDown(int n) { vScrollTo(m_hPos, m_vPos + n); }
  void vScrollLeft(int n) { vScrollTo(m_hPos - n, m_vPos); }
  void vScrollRight(int n) { vScrollTo(m_hPos + n, m_vPos); }
  void vHomeVertical() { vScrollTo(m_hPos, 0); }
  void vEndVertical() { vScrollTo(m_hPos, m_vMax); }
  void vHomeHorizontal() { vScrollTo(0, m_vPos); }
  void vEndHorizontal() { vScrollTo(m_hMax, m_vPos); }

  // Marking and copying (ViewerMark.cpp).
  int vSelect(const TViewRect& r);
  void vRemoveMark();
  void vUpdateMarkRect(QPoint client);
  void vAutoScrollStep();
  QRect vGetMarkClientIntersection(const QRect& mark) const;
  int vCopyToClipboard();

  // Painting (ViewerPaint.cpp).
  void vInvalidateAll() { m_host.InvalidateAll(); }
  void vPaint(QPainter& painter, const QRect& area);
  void vPaintWordMarks(QPainter& painter, const QRect& page);

  ViewerHost& m_host;
  faximage::UnpackerEngine m_engine;
  std::string m_fileName;
  std::vector<PageEntry> m_pages;
  int m_curPage = 0;
  bool m_loadWholeFax = false;
  Qt::CursorShape m_busyCursor = Qt::ArrowCursor;
  QColor m_fg = Qt::black;
  QColor m_bg = Qt::white;
  TViewScale m_scale;
  int m_dispW = 0, m_dispH = 0;
  int m_hPos = 0, m_vPos = 0, m_hMax = 0, m_vMax = 0;
  int m_hStep = 8, m_vStep = 8;
  int m_rotation = 0;
  unsigned m_autoScale = faximage::kUnpackDoubleHeight;
  uint16_t m_pageFlags = 0;
  // Mark in displayed-page pixels (inclusive corners).
  bool m_markOn = false;
  bool m_marking = false; // left button down, mouse captured
  int m_markL = 0, m_markT = 0, m_markR = 0, m_markB = 0;
  int m_dragCorner = 1;
  QTimer m_markTimer;
  bool m_ctrlDown = false;
  bool m_updateLock = false;
  bool m_designMode = false;
  std::string m_designCaption;
  QImage m_display; // the current page as shown: size, turn and colours applied
  std::vector<WordMark> m_wordMarks;
};

} // namespace faxview
