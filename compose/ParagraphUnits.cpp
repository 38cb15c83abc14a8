#include "compose/ParagraphUnits.h"

#include <QLocale>
#include <cmath>

namespace compose {

namespace {
double number(const QString& text) {
  bool ok = false;
  const double v = QLocale::c().toDouble(text.trimmed(), &ok);
  return ok ? v : 0.0;
}
double perUnit(TIndentUnit unit) {
  return unit == TIndentUnit::Inch ? kTwipsPerInch : kTwipsPerCm;
}
} // namespace

QString IndentText(int twips, TIndentUnit unit) {
  return QLocale::c().toString(twips / perUnit(unit), 'f', 2);
}

QString PointsText(int twips) {
  return QString::number(std::lround(twips / kTwipsPerInch * 72.0));
}

int IndentTwips(const QString& text, TIndentUnit unit) {
  return int(std::lround(number(text) * perUnit(unit)));
}

int PointsTwips(const QString& text) {
  return int(std::lround(number(text) * 20.0));
}

} // namespace compose
