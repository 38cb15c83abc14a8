#include "faxview/ViewerGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace faxview {

namespace {

constexpr int kSize = 20;

void triangle(QPainter& p, bool left, int x) {
  QPainterPath path;
  if (left) {
    path.moveTo(x + 7, 4);
    path.lineTo(x, 10);
    path.lineTo(x + 7, 16);
  } else {
    path.moveTo(x, 4);
    path.lineTo(x + 7, 10);
    path.lineTo(x, 16);
  }
  path.closeSubpath();
  p.fillPath(path, QColor(0, 0, 128));
}

void printer(QPainter& p) {
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawRect(5, 2, 10, 7); // paper going in
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(2, 8, 16, 7); // body
  p.setBrush(Qt::white);
  p.drawRect(5, 13, 10, 5); // paper coming out
  p.fillRect(14, 10, 2, 2, QColor(0, 160, 0));
}

void magnifier(QPainter& p, bool plus) {
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8, 8), 6, 6);
  p.setPen(QPen(QColor(96, 64, 0), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(13, 13, 18, 18);
  p.setPen(QPen(Qt::black, 2));
  p.drawLine(5, 8, 11, 8);
  if (plus)
    p.drawLine(8, 5, 8, 11);
}

void drawGlyph(QPainter& p, Glyph glyph) {
  switch (glyph) {
  case Glyph::First:
    p.fillRect(4, 4, 2, 12, QColor(0, 0, 128));
    triangle(p, true, 7);
    triangle(p, true, 12);
    break;
  case Glyph::Previous:
    triangle(p, true, 6);
    break;
  case Glyph::Next:
    triangle(p, false, 7);
    break;
  case Glyph::Last:
    triangle(p, false, 1);
    triangle(p, false, 6);
    p.fillRect(14, 4, 2, 12, QColor(0, 0, 128));
    break;
  case Glyph::PrinterSetup:
    printer(p);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(7, 4, 13, 4);
    p.drawLine(7, 6, 11, 6);
    break;
  case Glyph::Print:
    printer(p);
    break;
  case Glyph::PrintPage:
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 12, 17);
    p.setFont(QFont("Arial", 7, QFont::Bold));
    p.drawText(QRect(4, 2, 12, 16), Qt::AlignCenter, "1");
    break;
  case Glyph::ZoomIn:
    magnifier(p, true);
    break;
  case Glyph::ZoomOut:
    magnifier(p, false);
    break;
  }
}

} // namespace

QIcon GlyphIcon(Glyph glyph) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  drawGlyph(p, glyph);
  return QIcon(pixmap);
}

} // namespace faxview
