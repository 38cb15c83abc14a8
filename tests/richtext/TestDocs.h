#pragma once

#include "richtext/FaxPageBitmap.h"

#include <QImage>
#include <QString>
#include <string>

namespace richtext::test {

std::string readFile(const QString& path);
QString dataPath(const char* name);
// A scratch folder for one test, emptied first.
QString scratchDir(const char* name);
// Count of black pixels in rows [fromY, toY).
int blackPixels(const TFaxPageBitmap& page, int fromY = 0, int toY = TFaxPageBitmap::kHeight);
QImage toImage(const TFaxPageBitmap& page);
// Rows that hold at least one black pixel, as [first, last], or {-1,-1}.
std::pair<int, int> inkRows(const TFaxPageBitmap& page);

} // namespace richtext::test
