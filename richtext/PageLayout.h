#pragma once

namespace richtext {

// Page size and margins in twips (1440 per inch). The default is the
// Letter portrait layout with half-inch margins that the fax windows use.
struct TPageLayout {
  int width = 12240;
  int height = 15840;
  int left = 720;
  int right = 720;
  int top = 720;
  int bottom = 720;

  int textWidth() const { return width - left - right; }
  bool operator==(const TPageLayout&) const = default;
};

} // namespace richtext
