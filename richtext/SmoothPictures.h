#pragma once
// Pictures in an editor drawn smoothed: a fax page picture holds 200 pixels
// per inch of black and white, and shown at screen size by picking every
// other pixel, thin strokes of its text break up. Smoothed, they read as
// they will print. The layout's own picture handler still measures and
// draws; only the painter's scaling changes.

class QTextDocument;

namespace richtext {

// Installs the smoothing on the document's layout, and again whenever the
// document gets a new layout.
void DrawPicturesSmoothly(QTextDocument* doc);

} // namespace richtext
