#include "richtext/Units.h"

#include <QtGui/qtguiglobal.h>
#include <cmath>

// Qt's own resolution for text layout measurements, exported by QtGui.
Q_GUI_EXPORT int qt_defaultDpiY();

namespace richtext {

double unitsPerInch() {
  const int dpi = qt_defaultDpiY();
  return dpi > 0 ? dpi : 96.0;
}

double twipsToUnits(int twips) {
  return twips * unitsPerInch() / 1440.0;
}

int unitsToTwips(double units) {
  return int(std::lround(units * 1440.0 / unitsPerInch()));
}

} // namespace richtext
