#pragma once

namespace richtext {

// QTextDocument measures margins, indents and line heights in pixels of the
// application's logical resolution and scales them to the paint device.
// Twips are 1/1440 inch.
double unitsPerInch();
double twipsToUnits(int twips);
int unitsToTwips(double units);

} // namespace richtext
