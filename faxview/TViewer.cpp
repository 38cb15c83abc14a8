#include "faxview/TViewer.h"

#include "faximage/ApfFile.h"
#include "faximage/PageCollector.h"
#include "faxview/PageTransforms.h"
#include "platform/FxErrors.h"

#include <sys/stat.h>

#include <new>

namespace faxview {

using faximage::PageBitmap;

namespace {
// Keeps a page change from starting while another page is being set up
// (messages processed during unpacking could ask for one).
bool g_pageBusy = false;

struct BusyFlag {
  BusyFlag() { g_pageBusy = true; }
  ~BusyFlag() { g_pageBusy = false; }
};

bool isOrdinaryFile(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
} // namespace

TViewer::TViewer(ViewerHost& host) : m_host(host) {
  m_markTimer.setInterval(50);
  QObject::connect(&m_markTimer, &QTimer::timeout, [this] { wmTimer(); });
}

TViewer::~TViewer() {
  m_markTimer.stop();
  if (m_marking)
    m_host.CaptureMouse(false);
}

intptr_t TViewer::Perform(unsigned msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
  case fxViewSetFile:
    return vSetFile(lParam ? *reinterpret_cast<const std::string*>(lParam) : std::string());
  case fxViewSetFG:
  case fxViewSetBG:
    (msg == fxViewSetFG ? m_fg : m_bg) = QColor::fromRgb(QRgb(lParam));
    vSetColors();
    return 0;
  case fxViewSetScale:
    return lParam ? vSetScale(*reinterpret_cast<const TViewScale*>(lParam)) : ecBadArgument;
  case fxViewSetScroll:
    if (wParam)
      m_hStep = int(wParam);
    if (lParam > 0)
      m_vStep = int(lParam);
    return 0;
  case fxViewSelectAll:
    return vSelect({0, 0, m_dispW - 1, m_dispH - 1});
  case fxViewSelect:
    return lParam ? vSelect(*reinterpret_cast<const TViewRect*>(lParam)) : ecBadArgument;
  case fxViewCopy:
    return vCopyToClipboard();
  case fxViewSetWhitespace:
    return m_engine.setWhitespace(unsigned(wParam), unsigned(lParam));
  case fxViewGetBitmap:
    return vGetBitmap(int(wParam), reinterpret_cast<TViewBitmap*>(lParam));
  case fxViewGetNumPages:
    return PageCount();
  case fxViewStartUpdate:
    m_updateLock = true;
    return 0;
  case fxViewEndUpdate:
    m_updateLock = false;
    if (!m_fileName.empty())
      vInitPage();
    return 0;
  case fxViewGotoPage:
    return vGotoPage(int(wParam));
  case fxViewGetCurPage:
    return m_fileName.empty() ? 0 : m_curPage;
  case fxViewSetDesignMode:
    m_designMode = true;
    m_designCaption = lParam ? *reinterpret_cast<const std::string*>(lParam) : std::string();
    vInvalidateAll();
    return 0;
  case fxViewSetRotation:
    return vRotatePage(int(wParam));
  case fxViewSetAutoScale:
    m_autoScale = unsigned(wParam) & (faximage::kUnpackDoubleHeight | faximage::kUnpackHalfWidth);
    return 0;
  case fxViewGetPageDim: {
    auto* r = reinterpret_cast<TViewRect*>(lParam);
    const PageBitmap* bm = CurrentBitmap();
    if (r)
      *r = bm ? TViewRect{0, 0, bm->width() - 1, bm->height() - 1} : TViewRect{};
    return 0;
  }
  case fxViewSetLoadWholeFax:
    return vSetLoadWholeFax(wParam != 0);
  case fxViewSetBusyCursor:
    m_busyCursor = Qt::CursorShape(wParam);
    return 0;
  case fxViewGetPageFlags:
    return m_pageFlags;
  default:
    // fxViewSetWndProc and unknown numbers: Qt hands unhandled events on by itself.
    return ecBadArgument;
  }
}

const PageBitmap* TViewer::CurrentBitmap() const {
  if (m_fileName.empty() || m_curPage < 1 || m_curPage > PageCount())
    return nullptr;
  return m_pages[m_curPage - 1].bitmap.get();
}

bool TViewer::PageDamaged() const {
  return CurrentBitmap() && m_pages[std::size_t(m_curPage - 1)].damaged;
}

int TViewer::PagesHeld() const {
  int n = 0;
  for (const PageEntry& p : m_pages)
    n += p.bitmap ? 1 : 0;
  return n;
}

void TViewer::vDisposeFax() {
  m_pages.clear();
  m_curPage = 0;
  m_display = QImage();
  m_dispW = m_dispH = 0;
  m_hPos = m_vPos = m_hMax = m_vMax = 0;
  m_markOn = false;
}

int TViewer::vAllocFax(int pages) {
  try {
    m_pages.clear();
    m_pages.resize(std::size_t(pages));
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  return 0;
}

// Page n into out (1 = black). A page cut short by a damaged file keeps the
// rows decoded before the damage and reports the error as well.
int TViewer::vUnpack(int page, PageBitmap& out) {
  std::array<uint8_t, 16> raw{};
  int rc = m_engine.readPageHeader(m_fileName, page, raw);
  if (rc < 0)
    return rc;
  const auto header = faximage::ApfPageHeader::fromBytes(raw.data());
  m_pageFlags = header.pageFlags;
  faximage::PageCollector rows;
  rows.start(std::size_t(header.rowWidth() / 8), false);
  // Both off first: the engine drops both when they are ever on together,
  // which switching from one to the other would otherwise do.
  m_engine.setOption(faximage::kUnpackDoubleHeight, false);
  m_engine.setOption(faximage::kUnpackHalfWidth, false);
  m_engine.setOption(faximage::kUnpackDoubleHeight, m_autoScale == faximage::kUnpackDoubleHeight);
  m_engine.setOption(faximage::kUnpackHalfWidth, m_autoScale == faximage::kUnpackHalfWidth);
  m_engine.setOutputRoutine(
      [&](bool, bool, const uint8_t* data, int len, int) { rows.addRow(data, std::size_t(len)); });
  try {
    rc = m_engine.unpackPage(m_fileName, page);
    rows.finish(out);
    const bool halved = !header.fine() && m_autoScale != faximage::kUnpackDoubleHeight;
    PadToWidth(out, header.rowWidth() / (halved ? 2 : 1));
  } catch (const std::bad_alloc&) {
    rc = ecOutOfMemory;
  }
  m_engine.setOutputRoutine({});
  return rc;
}

// Unpacks page n into its table entry, turned by the present rotation. A
// page a damaged file cuts short (or leaves out) keeps what could be decoded,
// possibly nothing, and is flagged; the error code is returned.
int TViewer::vLoadPage(int page) {
  PageEntry& entry = m_pages[std::size_t(page - 1)];
  auto bm = std::make_unique<PageBitmap>();
  m_host.SetBusy(true, m_busyCursor);
  int rc = vUnpack(page, *bm);
  m_host.SetBusy(false, m_busyCursor);
  if (rc == ecOutOfMemory)
    return rc;
  entry.plainWidth = bm->width();
  entry.plainHeight = bm->height();
  try {
    if (m_rotation != 0 && !bm->empty())
      *bm = RotateQuarterTurns(*bm, m_rotation);
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  entry.width = bm->width();
  entry.height = bm->height();
  entry.bitmap = std::move(bm);
  entry.damaged = rc < 0;
  return rc;
}

int TViewer::vSetFile(const std::string& name) {
  m_wordMarks.clear(); // they belong to the file shown before
  if (name.empty()) {
    vDisposeFax();
    m_fileName.clear();
    vInvalidateAll();
    return 0;
  }
  if (!isOrdinaryFile(name))
    return ecFileNotFound;
  std::array<uint8_t, 64> raw{};
  int rc = m_engine.readFileHeader(name, raw);
  if (rc < 0)
    return rc;
  vDisposeFax();
  m_fileName = name;
  vInvalidateAll();
  const auto header = faximage::ApfFileHeader::fromBytes(raw.data());
  if ((rc = vAllocFax(header.pageCount)) < 0) {
    m_fileName.clear();
    return rc;
  }
  m_rotation = 0;
  m_scale = TViewScale{};
  if (header.pageCount == 0) {
    vInitPage();
    return 0;
  }
  for (int p = 1; p <= (m_loadWholeFax ? PageCount() : 1); ++p) {
    rc = vLoadPage(p);
    if (rc < 0 && p == 1 && (!m_pages[0].bitmap || m_pages[0].bitmap->empty())) {
      vDisposeFax();
      m_fileName.clear();
      return rc;
    }
    if (rc < 0) // later pages stay to be tried when shown
      break;
  }
  m_curPage = 1;
  vInitPage();
  if (rc < 0) // the pages show what they have; the damage is reported
    m_host.Notify(fxViewErrorNotify, rc, 0);
  return 0;
}

int TViewer::vSetLoadWholeFax(bool on) {
  m_loadWholeFax = on;
  if (m_fileName.empty())
    return 0;
  if (!on) {
    for (int p = 1; p <= PageCount(); ++p)
      if (p != m_curPage)
        m_pages[std::size_t(p - 1)] = PageEntry{};
    return 0;
  }
  for (int p = 1; p <= PageCount(); ++p) {
    if (m_pages[std::size_t(p - 1)].bitmap)
      continue;
    const int rc = vLoadPage(p);
    if (rc < 0) {
      vDisposeFax();
      m_fileName.clear();
      vInvalidateAll();
      return rc;
    }
  }
  return 0;
}

int TViewer::vRotatePage(int turns) {
  if (turns < 0 || turns > 3)
    return ecBadArgument;
  if (m_fileName.empty() || turns == m_rotation)
    return 0;
  // Pages are turned from the page as decoded, not from their last turn: a
  // quarter turn rounds the rows up to whole bytes, and turning a turned
  // page again would move its content by those rows each time.
  m_rotation = turns;
  for (int p = 1; p <= PageCount(); ++p) {
    PageEntry& entry = m_pages[std::size_t(p - 1)];
    if (!entry.bitmap || p == m_curPage)
      continue;
    entry = PageEntry{};
    if (m_loadWholeFax && vLoadPage(p) == ecOutOfMemory)
      return ecOutOfMemory;
  }
  if (m_curPage >= 1)
    m_pages[std::size_t(m_curPage - 1)] = PageEntry{};
  vInitPage();
  return 0;
}

int TViewer::vSetScale(const TViewScale& s) {
  TViewScale n = s;
  if (n.horizMult == 0 || n.horizDiv == 0 || n.vertMult == 0 || n.vertDiv == 0)
    return ecBadArgument;
  if (n.horizMult == n.horizDiv)
    n.horizMult = n.horizDiv = 1;
  if (n.vertMult == n.vertDiv)
    n.vertMult = n.vertDiv = 1;
  const bool changed = n.horizMult != m_scale.horizMult || n.horizDiv != m_scale.horizDiv ||
                       n.vertMult != m_scale.vertMult || n.vertDiv != m_scale.vertDiv;
  m_scale = n;
  if (!m_fileName.empty() && changed && !m_updateLock)
    vInitPage();
  return 0;
}

int TViewer::vGotoPage(int page) {
  if (m_fileName.empty())
    return ecNoImageLoaded;
  if (page < 1 || page > PageCount())
    return ecBadArgument;
  if (g_pageBusy)
    return 0;
  m_curPage = page;
  vInitPage();
  return 0;
}

void TViewer::vInitPage() {
  if (g_pageBusy)
    return;
  BusyFlag busy;
  if (!m_fileName.empty() && m_curPage >= 1 && !m_pages[std::size_t(m_curPage - 1)].bitmap) {
    if (!m_loadWholeFax)
      for (PageEntry& p : m_pages)
        p = PageEntry{};
    int rc;
    try {
      rc = vLoadPage(m_curPage);
    } catch (const std::bad_alloc&) {
      rc = ecOutOfMemory;
    }
    if (rc < 0 && !m_pages[std::size_t(m_curPage - 1)].bitmap) {
      vFail(rc); // out of memory
      return;
    }
    if (rc < 0) // a damaged page: shown as far as it goes
      m_host.Notify(fxViewErrorNotify, rc, 0);
  }
  m_hPos = m_vPos = 0;
  const PageBitmap* bm = CurrentBitmap();
  m_dispW = bm ? int(int64_t(bm->width()) * m_scale.horizMult / m_scale.horizDiv) : 0;
  m_dispH = bm ? int(int64_t(bm->height()) * m_scale.vertMult / m_scale.vertDiv) : 0;
  m_markOn = false;
  if (m_marking) {
    m_marking = false;
    m_markTimer.stop();
    m_host.CaptureMouse(false);
  }
  vBuildDisplay();
  vInitScrollbars();
  vInvalidateAll();
  if (m_curPage >= 1)
    m_host.Notify(fxViewPageChangeNotify, 0, m_curPage);
}

// An unpacking error while changing pages: reported, and the file closed.
void TViewer::vFail(int code) {
  vDisposeFax();
  m_fileName.clear();
  vInitScrollbars();
  vInvalidateAll();
  m_host.Notify(fxViewErrorNotify, code, 0);
}

void TViewer::vPageUp() {
  if (m_curPage > 1)
    vGotoPage(m_curPage - 1);
}

void TViewer::vPageDown() {
  if (m_curPage >= 1 && m_curPage < PageCount())
    vGotoPage(m_curPage + 1);
}

void TViewer::vFirstPage() {
  if (m_curPage == 1)
    vScrollTo(0, 0);
  else if (m_curPage > 1)
    vGotoPage(1);
}

void TViewer::vLastPage() {
  if (m_curPage == PageCount())
    vScrollTo(0, 0);
  else if (m_curPage >= 1)
    vGotoPage(PageCount());
}

int TViewer::vGetBitmap(int page, TViewBitmap* out) {
  if (!out || m_fileName.empty() || page < 1 || page > PageCount())
    return 0;
  const PageEntry& entry = m_pages[std::size_t(page - 1)];
  auto copy = std::make_unique<PageBitmap>();
  if (entry.bitmap) {
    *copy = *entry.bitmap;
  } else {
    const int rc = vUnpack(page, *copy);
    if (rc < 0) {
      m_host.Notify(fxViewErrorNotify, rc, 0);
      return 0;
    }
    if (m_rotation != 0)
      *copy = RotateQuarterTurns(*copy, m_rotation);
  }
  out->width = copy->width();
  out->height = copy->height();
  out->bitmap = std::move(copy);
  return 1;
}

int TViewer::wmDropFiles(const std::vector<std::string>& files) {
  if (files.empty())
    return 0;
  return vSetFile(files.front());
}

} // namespace faxview
