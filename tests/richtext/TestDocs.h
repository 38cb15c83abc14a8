#pragma once

#include "richtext/FaxPageRenderer.h"

#include <QImage>
#include <QString>
#include <string>

namespace richtext::test {

std::string readFile(const QString& path);
QString dataPath(const char* name);
// A scratch folder for one test, emptied first.
QString scratchDir(const char* name);
// Count of black pixels in rows [fromY, toY).
int blackPixels(const faximage::PageBitmap& page, int fromY = 0, int toY = kFaxPageHeight);
QImage toImage(const faximage::PageBitmap& page);
// Rows that hold at least one black pixel, as [first, last], or {-1,-1}.
std::pair<int, int> inkRows(const faximage::PageBitmap& page);

} // namespace richtext::test
