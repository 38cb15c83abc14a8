#include "app/ButtonGlyphs.h"

#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProxyStyle>

namespace {

const QColor kInk(0x33, 0x3d, 0x4f);
const QColor kPaper(0xfa, 0xfb, 0xfd);
const QColor kBlue(0x2f, 0x6f, 0xc9);
const QColor kGreen(0x2e, 0x9b, 0x4f);
const QColor kRed(0xc8, 0x3a, 0x32);

// A sheet with a folded corner, its text lines shown when asked.
void sheet(QPainter& p, const QRectF& r, bool lines) {
  const qreal fold = r.width() * 0.35;
  QPainterPath path;
  path.moveTo(r.topLeft());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.bottomRight());
  path.lineTo(r.bottomLeft());
  path.closeSubpath();
  p.setPen(QPen(kInk, 1.0));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
  p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
  if (lines) {
    p.setPen(QPen(kInk.lighter(170), 1.0));
    for (qreal y = r.top() + fold + 2; y < r.bottom() - 1.5; y += 2.5)
      p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
  }
}

// A thick arrow from a to b with a triangular head.
void arrow(QPainter& p, QPointF a, QPointF b, const QColor& colour) {
  const QLineF shaft(a, b);
  QLineF back(b, a);
  back.setLength(4.5);
  QLineF side = back.normalVector();
  side.setLength(3.5);
  const QPointF base = back.p2();
  const QPointF left = base + (side.p2() - side.p1());
  const QPointF right = base - (side.p2() - side.p1());
  p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(a, base);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(QPolygonF({b, left, right}));
}

void drawGlyph(QPainter& p, ButtonGlyph glyph) {
  switch (glyph) {
  case ButtonGlyph::NewFax:
    sheet(p, QRectF(3.5, 1.5, 10, 13), false);
    p.setPen(QPen(kGreen, 2.0));
    p.drawLine(QPointF(8.5, 7), QPointF(8.5, 13));
    p.drawLine(QPointF(5.5, 10), QPointF(11.5, 10));
    break;
  case ButtonGlyph::Edit:
    sheet(p, QRectF(2.5, 1.5, 10, 13), true);
    p.setPen(QPen(QColor(0xd9, 0x9a, 0x1e), 2.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(14.5, 4.5), QPointF(7.5, 11.5));
    p.setPen(QPen(kInk, 1.2));
    p.drawLine(QPointF(7.5, 11.5), QPointF(6.3, 12.7));
    break;
  case ButtonGlyph::Clone:
    sheet(p, QRectF(1.5, 1.5, 9, 11), true);
    sheet(p, QRectF(5.5, 4.5, 9, 11), true);
    break;
  case ButtonGlyph::Delete:
    sheet(p, QRectF(2.5, 1.5, 10, 13), true);
    p.setPen(QPen(kRed, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(14, 14));
    p.drawLine(QPointF(14, 8), QPointF(8, 14));
    break;
  case ButtonGlyph::Send:
    sheet(p, QRectF(1.5, 1.5, 9, 12), true);
    arrow(p, QPointF(6.5, 11), QPointF(15.5, 11), kGreen);
    break;
  case ButtonGlyph::Receive:
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 10.5, 13, 4));
    arrow(p, QPointF(8, 1), QPointF(8, 11), kBlue);
    break;
  case ButtonGlyph::View:
    sheet(p, QRectF(1.5, 1.5, 9, 12), true);
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(QColor(0xd6, 0xe6, 0xf8, 200));
    p.drawEllipse(QPointF(9.5, 8.5), 3.5, 3.5);
    p.setPen(QPen(kInk, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 11), QPointF(14.8, 13.8));
    break;
  case ButtonGlyph::Exit:
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(QColor(0xb8, 0x8a, 0x5a));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    arrow(p, QPointF(7, 8), QPointF(15.5, 8), kRed);
    break;
  case ButtonGlyph::More:
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(4, 4), QPointF(8, 8), QPointF(4, 12)}));
    p.drawPolyline(QPolygonF({QPointF(9, 4), QPointF(13, 8), QPointF(9, 12)}));
    break;
  }
}

} // namespace

QIcon DrawButtonGlyph(ButtonGlyph glyph) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    drawGlyph(p, glyph);
  }
  pixmap.setDevicePixelRatio(2);
  return QIcon(pixmap);
}

QIcon PngResourceIcon(const QStringList& resources) {
  QIcon icon;
  for (const QString& name : resources) {
    QImageReader reader(name, "png");
    // Told the format, the reader does not try every plugin on the file.
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (!image.isNull())
      icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

namespace {

class DrawnIconStyle : public QProxyStyle {
public:
  QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                     const QWidget* widget) const override {
    if (which == SP_ToolBarHorizontalExtensionButton)
      return DrawButtonGlyph(ButtonGlyph::More);
    return QProxyStyle::standardIcon(which, option, widget);
  }
};

} // namespace

QStyle* MakeDrawnIconStyle() {
  return new DrawnIconStyle;
}
