#pragma once
// Fitting a decoded page onto the fax page: its size at fax resolution,
// scaling grey pages, and copying black-and-white fax pages row for row.

#include "docimport/ImportTypes.h"

namespace docimport {

struct PageSize {
  int width = 0;
  int height = 0;
};

// The size a source page of w x h pixels takes on the fax page. A page whose
// file states its resolution keeps its printed size when that fits the fax
// page width; a wider one, or one without a resolution, is scaled to the fax
// page width. The aspect ratio is kept, and so is a page taller than
// grid.maxRows, which is made smaller as a whole.
PageSize fitSize(int w, int h, double xdpi, double ydpi, const FaxGrid& grid);

// True when a page of w x h pixels is to be turned a quarter before it is
// fitted: grid.turnWide is set, the page is wider than tall as printed, and
// its width would be made smaller to fit the fax page.
bool turnsWide(int w, int h, double xdpi, double ydpi, const FaxGrid& grid);

// The page turned a quarter anticlockwise: its top edge becomes its left
// edge, as a landscape page is printed on portrait paper.
GreyImage turnQuarter(const GreyImage& src);

// True when a black-and-white page already has the fax grid's columns (same
// horizontal resolution, or none stated and a fax page width), so that its
// rows can be taken as they are.
bool hasFaxColumns(int w, double xdpi, const FaxGrid& grid);

// Resamples grey: the average of the covered source pixels when shrinking,
// linear interpolation when enlarging.
GreyImage scaleGrey(const GreyImage& src, int width, int height);

// A grey page at its fitted size, halftoned and centred on the fax page.
FaxPage fitGreyPage(const GreyImage& grey, const FaxGrid& grid, Halftone mode);

// A black-and-white page with fax columns: rows copied bit for bit, repeated
// or merged (black wins) when its vertical resolution differs from the grid.
FaxPage fitFaxColumns(const faximage::PageBitmap& page, double ydpi, const FaxGrid& grid);

// Places a black-and-white image of at most grid.width pixels in the middle
// of a fax row.
FaxPage centreOnPage(const faximage::PageBitmap& image, const FaxGrid& grid);

// A black-and-white image as grey (black 0, white 255) for scaling.
GreyImage greyFromBits(const faximage::PageBitmap& bits, double xdpi, double ydpi);

} // namespace docimport
