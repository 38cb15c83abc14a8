#pragma once
// Operations on packed page bitmaps (1 = black, most significant bit
// leftmost) that the viewer needs: quarter turns, a gray picture for shrunken
// display, and the straight block copy of a marked area. Plain C++.

#include "faximage/PageBitmap.h"

#include <cstdint>
#include <vector>

namespace faxview {

// Widens a bitmap to `width` pixels with white on the right (a page whose
// rows end early is still shown and printed at the fax's full width).
void PadToWidth(faximage::PageBitmap& bitmap, int width);

// Turns by `turns` quarter turns clockwise (taken mod 4). A quarter turn of a
// w x h bitmap gives h pixels wide and w rounded up to a multiple of 8 rows
// high, the added rows white; a half turn keeps the size.
faximage::PageBitmap RotateQuarterTurns(const faximage::PageBitmap& src, int turns);

// The page shrunk or stretched to width x height as coverage values 0
// (white) to 255 (black): each output pixel averages the source pixels it
// covers, so thin strokes of a fine page stay visible as gray. Rows of
// `stride` bytes into `out`.
void ScaleToCoverage(const faximage::PageBitmap& src, int width, int height, uint8_t* out,
                     int stride);

// The page stretched to width x height by the nearest source pixel (for
// enlargement); rows of `stride` bytes, MSB first, into `out`.
void ScaleNearestMono(const faximage::PageBitmap& src, int width, int height, uint8_t* out,
                      int stride);

// The source rectangle (x, y, w, h) copied into a bitmap of outW x outH by a
// straight pixel copy; when shrinking, an output pixel is black when any
// source pixel it covers is black. Parts outside the source are white.
faximage::PageBitmap CopyBlock(const faximage::PageBitmap& src, int x, int y, int w, int h,
                               int outW, int outH);

} // namespace faxview
