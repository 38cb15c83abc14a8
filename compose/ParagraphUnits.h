#pragma once
// Conversions of the paragraph dialog: indents shown in inches or
// centimetres with two decimals, spacing in whole points; typed values back
// to twips (1440 per inch).

#include <QString>

namespace compose {

enum class TIndentUnit { Inch, Cm };

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kTwipsPerCm = 566.929;

// twips / 1440 or / 566.929, fixed notation, 2 decimals ("0.50", "1.27").
QString IndentText(int twips, TIndentUnit unit);
// twips / 1440 x 72 rounded to whole points ("12").
QString PointsText(int twips);
// A typed indent back to twips, rounded; an empty (or unreadable) text is 0.
int IndentTwips(const QString& text, TIndentUnit unit);
// A typed number of points back to twips (x 20), rounded.
int PointsTwips(const QString& text);

} // namespace compose
