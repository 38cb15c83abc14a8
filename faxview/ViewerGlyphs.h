#pragma once
// The small pictures on the viewer window's buttons, drawn in code so that
// they look the same on every desktop whatever icon theme it has.

#include <QIcon>

namespace faxview {

enum class Glyph { First, Previous, Next, Last, PrinterSetup, Print, PrintPage, ZoomIn, ZoomOut };

QIcon GlyphIcon(Glyph glyph);

} // namespace faxview
