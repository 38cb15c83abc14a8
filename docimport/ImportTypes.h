#pragma once
// What the document import works with: grey pages as the readers deliver
// them, the fax page they become, the choices a user makes, and the error
// every failure is reported with.

#include "faximage/PageBitmap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace docimport {

// Limits that keep hostile files within bounded time and memory.
inline constexpr uint64_t kMaxSourcePixels = 120'000'000; // one decoded page
inline constexpr int kMaxSourceSide = 60'000;
inline constexpr int kMaxPages = 500;

// A decoded page in 8-bit grey, 0 black and 255 white, with the resolution
// the file states (0 where it states none).
// Its rows are either its own `pixels` or, for a page a library drew, rows
// left where the library drew them (`drawn`, `stride` bytes apart, kept alive
// by `keep` or, when that is empty, by the source until its next page), so
// that a whole page is not copied only to be read once.
struct GreyImage {
  int width = 0;
  int height = 0;
  double xdpi = 0;
  double ydpi = 0;
  std::vector<uint8_t> pixels; // width * height, rows top to bottom
  uint8_t* drawn = nullptr;
  std::size_t stride = 0;
  std::shared_ptr<void> keep;

  uint8_t* row(int y) {
    return drawn ? drawn + std::size_t(y) * stride
                 : pixels.data() + std::size_t(y) * std::size_t(width);
  }
  const uint8_t* row(int y) const { return const_cast<GreyImage*>(this)->row(y); }
};

// The pixel grid of the fax page: 8.03 pixels per mm across, 7.7 (fine) or
// 3.85 (normal) rows per mm down.
struct FaxGrid {
  int width = 1728;
  double xdpi = 204.0;
  double ydpi = 196.0;
  int maxRows = 2 * 2339; // two A4 pages of fine rows
  // A page wider than tall that would be made narrower to fit the width is
  // turned a quarter (its top to the left), so that it fills the portrait
  // fax page instead of shrinking into its top part.
  bool turnWide = true;
  bool fine() const { return ydpi > 150; }
};
// How grey becomes black and white: a fixed threshold keeps text and line
// art sharp, error diffusion keeps the tones of photographs; Auto finds the
// photographs on each page and diffuses only them.
enum class Halftone { Auto, Threshold, Diffuse };

// The fax resolution of the pages made; Auto is fine, except that a
// black-and-white fax page at normal resolution stays at normal resolution.
enum class FaxResolution { Auto, Normal, Fine };

struct ImportOptions {
  FaxResolution resolution = FaxResolution::Auto;
  bool wide = false; // 2048 pixels (B4) instead of 1728 (A4, letter)
  Halftone halftone = Halftone::Auto;
  int maxPages = kMaxPages;
  uint64_t maxSourcePixels = kMaxSourcePixels; // of one decoded page
  int firstPagesOnly = 0;                      // read only this many pages (0: all)
  // A pixel grid of the caller's own (a page picture for the editor) used
  // instead of the fax grid for every page.
  std::optional<FaxGrid> grid;
};

// The fax page the import produces: `width` pixels (1728 or 2048) per row.
struct FaxPage {
  faximage::PageBitmap bitmap;
  bool fine = true;
};

FaxGrid gridFor(const ImportOptions& options, bool fine);

// Every failure: a negative code of the program's error family and a text
// a person can act on.
class ImportError : public std::runtime_error {
public:
  ImportError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
  int code() const { return m_code; }

private:
  int m_code;
};

} // namespace docimport
