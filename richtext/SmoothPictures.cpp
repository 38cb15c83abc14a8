#include "richtext/SmoothPictures.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPointer>
#include <QTextDocument>
#include <QTextObjectInterface>

namespace richtext {

namespace {

class SmoothPictureHandler : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

public:
  SmoothPictureHandler(QTextObjectInterface* original, QObject* owner)
      : QObject(owner), m_original(original) {}

  QSizeF intrinsicSize(QTextDocument* doc, int position, const QTextFormat& format) override {
    return m_original->intrinsicSize(doc, position, format);
  }

  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int position,
                  const QTextFormat& format) override {
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_original->drawObject(painter, rect, doc, position, format);
    painter->restore();
  }

private:
  QTextObjectInterface* m_original;
};

void install(QTextDocument* doc) {
  QAbstractTextDocumentLayout* layout = doc->documentLayout();
  QTextObjectInterface* current = layout->handlerForObject(QTextFormat::ImageObject);
  if (!current || dynamic_cast<SmoothPictureHandler*>(current))
    return;
  layout->registerHandler(QTextFormat::ImageObject, new SmoothPictureHandler(current, layout));
}

} // namespace

void DrawPicturesSmoothly(QTextDocument* doc) {
  install(doc);
  QObject::connect(doc, &QTextDocument::documentLayoutChanged, doc, [doc] { install(doc); });
}

} // namespace richtext

#include "SmoothPictures.moc"
