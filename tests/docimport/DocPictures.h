#pragma once
// The pictures a rich-text document holds, in order, and how black their
// middle is (Qt tests only).

#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <vector>

namespace doctest {

inline std::vector<QImage> documentPictures(const QTextDocument& doc) {
  std::vector<QImage> out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat())
        out.push_back(doc.resource(QTextDocument::ImageResource,
                                   QUrl(it.fragment().charFormat().toImageFormat().name()))
                          .value<QImage>());
  return out;
}

// Share of black in the middle 300 x 300 pixels of a picture; -1 when it is
// smaller than that.
inline double middleBlackShare(const QImage& picture) {
  const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
  const int x0 = grey.width() / 2 - 150, y0 = grey.height() / 2 - 150;
  if (x0 < 0 || y0 < 0)
    return -1;
  long black = 0;
  for (int y = y0; y < y0 + 300; ++y)
    for (int x = x0; x < x0 + 300; ++x)
      black += grey.constScanLine(y)[x] < 128;
  return double(black) / (300.0 * 300.0);
}

} // namespace doctest
