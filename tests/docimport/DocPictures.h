#pragma once
// The pictures a rich-text document holds, in order (Qt tests only).

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

} // namespace doctest
