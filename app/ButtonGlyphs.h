#pragma once
// The pictures on the main window's buttons, drawn with a few strokes
// instead of read from image files: reading any picture file at start makes
// Qt load every image-format plugin it has, which costs more than drawing
// all of these.

#include <QIcon>

enum class ButtonGlyph { NewFax, Edit, Clone, Delete, Send, Receive, View, Exit, More };

// A 16 x 16 picture drawn at twice that resolution, sharp on high-density
// screens too.
QIcon DrawButtonGlyph(ButtonGlyph glyph);

// An icon from a PNG resource, read without asking the image plugins.
QIcon PngResourceIcon(const QStringList& resources);

class QStyle;

// The application's style with the one standard picture every menu bar asks
// for at once (the "more items" chevron) drawn the same way.
QStyle* MakeDrawnIconStyle();
