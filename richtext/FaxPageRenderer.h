#pragma once

#include "faximage/PageBitmap.h"

#include <QImage>
#include <memory>
#include <vector>

class QTextDocument;

namespace richtext {

// A fine-resolution fax page: 1664 x 2156 pixels at 200 per inch.
inline constexpr int kFaxPageWidth = 1664;
inline constexpr int kFaxPageHeight = 2156;
inline faximage::PageBitmap newFaxPage() {
  return {kFaxPageWidth, kFaxPageHeight};
}

// Where a page is drawn on the fax bitmap, in pixels at 200 per inch: text
// lines run from left to right; the page ends with the last line that fits
// above bottom.
struct TFaxPageArea {
  int left = 49;
  int top = 49;
  int right = 1615;
  int bottom = 2107;
};

// Lays a document out at 200 pixels per inch and draws it page by page in
// crisp black and white. It works on its own copy of the document, so the
// editor's zoom and field markers do not reach the fax.
class TFaxPageRenderer {
public:
  // maxLineWidth: the widest line in pixels (the page layout's text width);
  // 0 means only the page area limits it.
  TFaxPageRenderer(const QTextDocument& source, const TFaxPageArea& area, int maxLineWidth);
  ~TFaxPageRenderer();

  // Draws the page that starts at document position start onto the bitmap
  // (cleared first) and returns where the next page starts, or 0 when the
  // text ends on this page. Pages break only between lines, and before a
  // paragraph marked as starting a new page.
  int drawPage(int start, faximage::PageBitmap& page);

private:
  struct Line {
    int position; // document position of the line's first character
    double top;   // in layout pixels
    double bottom;
    bool pageBreakBefore;
  };
  void scaleParagraphs();
  void collectLines();
  std::size_t lineAt(int position) const;
  void paint(double fromY, double toY, faximage::PageBitmap& page);

  std::unique_ptr<QTextDocument> m_doc;
  TFaxPageArea m_area;
  QImage m_device; // gives the layout its 200 pixels per inch
  QImage m_canvas;
  std::vector<Line> m_lines;
  bool m_hasPictures = false; // only then are mid tones error-diffused
};

} // namespace richtext
