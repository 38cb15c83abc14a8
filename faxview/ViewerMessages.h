#pragma once
// The viewer engine's message interface: message numbers, and the records
// that travel in their parameters. TViewer::Perform takes every one of them.

#include "faximage/PageBitmap.h"

#include <cstdint>
#include <memory>

namespace faxview {

inline constexpr unsigned fxViewSetFile = 32356;          // lParam: const std::string*
inline constexpr unsigned fxViewSetFG = 32357;            // lParam: QRgb
inline constexpr unsigned fxViewSetBG = 32358;            // lParam: QRgb
inline constexpr unsigned fxViewSetScale = 32359;         // lParam: const TViewScale*
inline constexpr unsigned fxViewSetScroll = 32360;        // wParam: horizontal, lParam: vertical
inline constexpr unsigned fxViewSelectAll = 32361;        //
inline constexpr unsigned fxViewSelect = 32362;           // lParam: const TViewRect*
inline constexpr unsigned fxViewCopy = 32363;             //
inline constexpr unsigned fxViewSetWndProc = 32364;       // not used: Qt passes events on itself
inline constexpr unsigned fxViewSetWhitespace = 32365;    // wParam: From, lParam: To
inline constexpr unsigned fxViewGetBitmap = 32366;        // wParam: page, lParam: TViewBitmap*
inline constexpr unsigned fxViewGetNumPages = 32367;      //
inline constexpr unsigned fxViewStartUpdate = 32368;      //
inline constexpr unsigned fxViewEndUpdate = 32369;        //
inline constexpr unsigned fxViewGotoPage = 32370;         // wParam: page
inline constexpr unsigned fxViewGetCurPage = 32371;       //
inline constexpr unsigned fxViewSetDesignMode = 32372;    // lParam: const std::string* caption
inline constexpr unsigned fxViewSetRotation = 32373;      // wParam: 0..3
inline constexpr unsigned fxViewSetAutoScale = 32374;     // wParam: 2, 4 or 0
inline constexpr unsigned fxViewPageChangeNotify = 32375; // lParam: page (engine to its window)
inline constexpr unsigned fxViewGetPageDim = 32376;       // lParam: TViewRect*
inline constexpr unsigned fxViewSetLoadWholeFax = 32377;  // wParam: flag
inline constexpr unsigned fxViewSetBusyCursor = 32378;    // wParam: Qt::CursorShape
inline constexpr unsigned fxViewErrorNotify = 32379;  // wParam: error code (engine to its window)
inline constexpr unsigned fxViewGetPageFlags = 32380; //

struct TViewScale {
  unsigned horizMult = 1, horizDiv = 1, vertMult = 1, vertDiv = 1;
};

struct TViewRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// fxViewGetBitmap's answer: a copy of the page that the caller owns (1 = black).
struct TViewBitmap {
  int width = 0, height = 0;
  std::unique_ptr<faximage::PageBitmap> bitmap;
};

} // namespace faxview
