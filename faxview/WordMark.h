#pragma once
// A word for the viewer to mark on a page (from 1): its box in the page's
// pixels as coded, and the page's size as coded, so that the viewer can
// place it on the page as shown (unpacked at another scale, turned, zoomed).

#include <QRect>
#include <QSize>

namespace faxview {

struct WordMark {
  int Page = 0;
  QRect Box;
  QSize PageSize;
};

} // namespace faxview
