#include "TestDocs.h"

#include <QDir>
#include <QFile>

namespace richtext::test {

std::string readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  const QByteArray data = f.readAll();
  return std::string(data.constData(), std::size_t(data.size()));
}

QString dataPath(const char* name) {
  return QStringLiteral(TOLVANE_TEST_DATA "/richtext/") + QString::fromLatin1(name);
}

QString scratchDir(const char* name) {
  const QString path =
      QStringLiteral(TOLVANE_BINARY_DIR "/richtext-scratch/") + QLatin1String(name);
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path;
}

int blackPixels(const faximage::PageBitmap& page, int fromY, int toY) {
  int n = 0;
  for (int y = fromY; y < toY; ++y)
    for (int x = 0; x < page.width(); ++x)
      n += page.pixel(x, y);
  return n;
}

QImage toImage(const faximage::PageBitmap& page) {
  QImage img(page.width(), page.height(), QImage::Format_Mono);
  img.setColor(0, qRgb(255, 255, 255));
  img.setColor(1, qRgb(0, 0, 0));
  for (int y = 0; y < page.height(); ++y)
    memcpy(img.scanLine(y), page.row(y), page.stride());
  return img;
}

std::pair<int, int> inkRows(const faximage::PageBitmap& page) {
  int first = -1, last = -1;
  for (int y = 0; y < page.height(); ++y) {
    const auto* row = page.row(y);
    for (std::size_t i = 0; i < page.stride(); ++i)
      if (row[i]) {
        if (first < 0)
          first = y;
        last = y;
        break;
      }
  }
  return {first, last};
}

} // namespace richtext::test
