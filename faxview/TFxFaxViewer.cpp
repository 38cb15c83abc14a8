#include "faxview/TFxFaxViewer.h"

#include "platform/FxErrors.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

namespace faxview {

TFxCustomFaxViewer::TFxCustomFaxViewer(QWidget* parent)
    : QAbstractScrollArea(parent),
      m_viewer(std::make_unique<TViewer>(static_cast<ViewerHost&>(*this))) {
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setCursor(Qt::ArrowCursor);
  SetBorderStyle(bsSingle);
  auto follow = [this](QScrollBar* bar, bool horizontal) {
    connect(bar, &QScrollBar::valueChanged, this, [this, horizontal](int value) {
      if (m_settingBars)
        return;
      horizontal ? m_viewer->wmHScroll(value) : m_viewer->wmVScroll(value);
    });
  };
  follow(horizontalScrollBar(), true);
  follow(verticalScrollBar(), false);
  Perform(fxViewSetFG, 0, intptr_t(m_fg.rgb()));
  Perform(fxViewSetBG, 0, intptr_t(m_bg.rgb()));
  Perform(fxViewSetScroll, m_hStep, m_vStep);
  Perform(fxViewSetAutoScale, faximage::kUnpackDoubleHeight);
}

TFxCustomFaxViewer::~TFxCustomFaxViewer() = default;

intptr_t TFxCustomFaxViewer::Perform(unsigned msg, uintptr_t wParam, intptr_t lParam) {
  const intptr_t rc = m_viewer->Perform(msg, wParam, lParam);
  if (rc < 0 && msg != fxViewGetBitmap)
    RaiseFxError(int(rc));
  return rc;
}

void TFxCustomFaxViewer::SetBorderStyle(TBorderStyle style) {
  m_borderStyle = style;
  setFrameStyle(style == bsSingle ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
}

void TFxCustomFaxViewer::SetFGColor(const QColor& c) {
  m_fg = c;
  Perform(fxViewSetFG, 0, intptr_t(c.rgb()));
}

void TFxCustomFaxViewer::SetBGColor(const QColor& c) {
  m_bg = c;
  Perform(fxViewSetBG, 0, intptr_t(c.rgb()));
}

void TFxCustomFaxViewer::sendScale() {
  const TViewScale one;
  Perform(fxViewSetScale, 0, reinterpret_cast<intptr_t>(m_scaling ? &m_scale : &one));
}

void TFxCustomFaxViewer::SetScaling(bool on) {
  m_scaling = on;
  sendScale();
}

void TFxCustomFaxViewer::setFactor(unsigned& factor, unsigned v) {
  if (v == 0)
    return;
  factor = v;
  if (m_scaling)
    sendScale();
}

void TFxCustomFaxViewer::SetAutoScaleMode(faximage::TAutoScaleMode mode) {
  m_autoScale = mode;
  const unsigned bits = mode == faximage::asDoubleHeight ? faximage::kUnpackDoubleHeight
                        : mode == faximage::asHalfWidth  ? faximage::kUnpackHalfWidth
                                                         : 0u;
  Perform(fxViewSetAutoScale, bits);
}

void TFxCustomFaxViewer::sendWhitespace() {
  Perform(fxViewSetWhitespace, m_whitespace ? m_whiteFrom : 0, m_whitespace ? m_whiteTo : 0);
}

void TFxCustomFaxViewer::SetWhitespaceCompression(bool on) {
  m_whitespace = on;
  sendWhitespace();
}

void TFxCustomFaxViewer::SetWhitespaceFrom(unsigned v) {
  m_whiteFrom = v;
  if (m_whitespace)
    sendWhitespace();
}

void TFxCustomFaxViewer::SetWhitespaceTo(unsigned v) {
  m_whiteTo = v;
  if (m_whitespace)
    sendWhitespace();
}

void TFxCustomFaxViewer::SetHorizScroll(unsigned v) {
  m_hStep = v;
  Perform(fxViewSetScroll, v, 0);
}

void TFxCustomFaxViewer::SetVertScroll(unsigned v) {
  m_vStep = v;
  Perform(fxViewSetScroll, 0, intptr_t(v));
}

void TFxCustomFaxViewer::SetLoadWholeFax(bool on) {
  m_loadWholeFax = on;
  const intptr_t rc = m_viewer->Perform(fxViewSetLoadWholeFax, on ? 1 : 0);
  if (rc < 0) {
    m_fileName.clear();
    RaiseFxError(int(rc));
  }
}

void TFxCustomFaxViewer::SetBusyCursor(Qt::CursorShape shape) {
  m_busyCursor = shape;
  Perform(fxViewSetBusyCursor, uintptr_t(shape));
}

// A new name loads the file; the page then shows unturned and unscaled.
void TFxCustomFaxViewer::SetFileName(const QString& name) {
  if (name == m_fileName)
    return;
  const std::string path = name.toStdString();
  const intptr_t rc = m_viewer->Perform(fxViewSetFile, 0, reinterpret_cast<intptr_t>(&path));
  if (rc < 0) {
    // A file that cannot be opened leaves the one shown before (if any) in place.
    m_fileName = QString::fromStdString(m_viewer->FileName());
    RaiseFxError(int(rc));
  }
  m_fileName = name;
  m_scale = TViewScale{};
  if (m_scaling)
    sendScale();
}

int TFxCustomFaxViewer::QuarterTurns() const {
  return m_viewer->Rotation();
}

void TFxCustomFaxViewer::SetQuarterTurns(int turns) {
  Perform(fxViewSetRotation, uintptr_t(turns));
}

int TFxCustomFaxViewer::ShownPage() const {
  return int(m_viewer->Perform(fxViewGetCurPage));
}

void TFxCustomFaxViewer::SetShownPage(int page) {
  if (!hasFile())
    return;
  if (page < 1 || page > PageTotal())
    RaiseFxError(ecBadArgument);
  Perform(fxViewGotoPage, uintptr_t(page));
}

int TFxCustomFaxViewer::PageTotal() const {
  return int(m_viewer->Perform(fxViewGetNumPages));
}

int TFxCustomFaxViewer::ShownPageWidth() const {
  TViewRect r;
  m_viewer->Perform(fxViewGetPageDim, 0, reinterpret_cast<intptr_t>(&r));
  return hasFile() && m_viewer->CurrentBitmap() ? r.right + 1 : 0;
}

void TFxCustomFaxViewer::ShowFirstPage() {
  if (hasFile())
    SetShownPage(1);
}

void TFxCustomFaxViewer::ShowLastPage() {
  if (hasFile())
    SetShownPage(PageTotal());
}

void TFxCustomFaxViewer::ShowNextPage() {
  if (hasFile() && ShownPage() < PageTotal())
    SetShownPage(ShownPage() + 1);
}

void TFxCustomFaxViewer::ShowPreviousPage() {
  if (hasFile() && ShownPage() > 1)
    SetShownPage(ShownPage() - 1);
}

void TFxCustomFaxViewer::LockUpdates() {
  if (hasFile())
    Perform(fxViewStartUpdate);
}

void TFxCustomFaxViewer::UnlockUpdates() {
  if (hasFile())
    Perform(fxViewEndUpdate);
}

// ---------------------------------------------------------------- events

void TFxCustomFaxViewer::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  m_viewer->wmPaint(painter, event->rect());
}

void TFxCustomFaxViewer::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  m_viewer->wmSize();
}

void TFxCustomFaxViewer::keyPressEvent(QKeyEvent* event) {
  if (!m_viewer->wmKeyDown(event->key(), event->modifiers() & Qt::ControlModifier))
    QAbstractScrollArea::keyPressEvent(event);
}

void TFxCustomFaxViewer::keyReleaseEvent(QKeyEvent* event) {
  m_viewer->wmKeyUp(event->key());
  QAbstractScrollArea::keyReleaseEvent(event);
}

void TFxCustomFaxViewer::mousePressEvent(QMouseEvent* event) {
  m_pointer = event->position().toPoint();
  if (event->button() == Qt::LeftButton)
    m_viewer->wmLButtonDown(m_pointer);
  QAbstractScrollArea::mousePressEvent(event);
}

void TFxCustomFaxViewer::mouseReleaseEvent(QMouseEvent* event) {
  m_pointer = event->position().toPoint();
  if (event->button() == Qt::LeftButton)
    m_viewer->wmLButtonUp(m_pointer);
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void TFxCustomFaxViewer::mouseMoveEvent(QMouseEvent* event) {
  m_pointer = event->position().toPoint();
  m_viewer->wmMouseMove(m_pointer);
}

// The engine moves the content itself (ScrollContent).
void TFxCustomFaxViewer::scrollContentsBy(int, int) {}

void TFxCustomFaxViewer::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

// The first dropped file is opened and becomes the control's file.
void TFxCustomFaxViewer::dropEvent(QDropEvent* event) {
  std::vector<std::string> files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile())
      files.push_back(url.toLocalFile().toStdString());
  if (files.empty())
    return;
  event->acceptProposedAction();
  const int rc = m_viewer->wmDropFiles(files);
  if (rc < 0) {
    m_fileName.clear();
    emit OnViewerError(rc);
    return;
  }
  m_fileName = QString::fromStdString(files.front());
  m_scale = TViewScale{};
  if (m_scaling)
    sendScale();
  emit OnDropFile(m_fileName);
}

// ---------------------------------------------------------------- host

QSize TFxCustomFaxViewer::ClientSize() const {
  return viewport()->size();
}

void TFxCustomFaxViewer::SetScrollBars(int hMax, int hPos, int vMax, int vPos) {
  m_settingBars = true;
  const QSize client = viewport()->size();
  horizontalScrollBar()->setRange(0, hMax);
  horizontalScrollBar()->setPageStep(std::max(1, client.width()));
  horizontalScrollBar()->setSingleStep(int(m_hStep));
  horizontalScrollBar()->setValue(hPos);
  verticalScrollBar()->setRange(0, vMax);
  verticalScrollBar()->setPageStep(std::max(1, client.height()));
  verticalScrollBar()->setSingleStep(int(m_vStep));
  verticalScrollBar()->setValue(vPos);
  m_settingBars = false;
}

void TFxCustomFaxViewer::InvalidateAll() {
  viewport()->update();
}

void TFxCustomFaxViewer::InvalidateRect(const QRect& r) {
  if (!r.isEmpty())
    viewport()->update(r);
}

void TFxCustomFaxViewer::ScrollContent(int dx, int dy) {
  viewport()->scroll(dx, dy);
}

void TFxCustomFaxViewer::SetBusy(bool busy, Qt::CursorShape shape) {
  if (busy)
    QApplication::setOverrideCursor(QCursor(shape));
  else
    QApplication::restoreOverrideCursor();
}

// Qt keeps sending mouse moves to the widget that took the button press, so
// no explicit capture is needed.
void TFxCustomFaxViewer::CaptureMouse(bool) {}

void TFxCustomFaxViewer::Notify(unsigned msg, intptr_t wParam, intptr_t) {
  if (msg == fxViewPageChangeNotify)
    emit OnPageChange();
  else if (msg == fxViewErrorNotify)
    emit OnViewerError(int(wParam));
}

} // namespace faxview
