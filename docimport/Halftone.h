#pragma once
// Grey pages to black and white.

#include "docimport/ImportTypes.h"

namespace docimport {

// Grey levels below this are black when thresholding.
inline constexpr int kThreshold = 128;

// The rectangles of a grey page that look like photographs: areas where many
// pixels are neither near white nor near black. Rectangles in pixels.
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // [x0, x1) x [y0, y1)
};
std::vector<PixelRect> findPhotoAreas(const GreyImage& grey);

// Turns grey into black and white: Threshold everywhere, Floyd-Steinberg
// error diffusion everywhere, or Auto: diffusion inside the photo areas and
// the threshold elsewhere. `out` gets the grey page's size.
void halftone(const GreyImage& grey, Halftone mode, faximage::PageBitmap& out);

} // namespace docimport
