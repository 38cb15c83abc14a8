#pragma once
// The contract between the conversion engine and its input readers: open the
// input, deliver one raw raster row per call (MSB first, 1 = black) with the
// page structure, close.

#include "faximage/ConvertTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace faximage {

// Room of the raw row buffer; readers never write beyond it.
inline constexpr std::size_t kRawRowSize = 4096;

// What a reader sees of the conversion and what it reports back.
struct ReaderContext {
  int width = 1728;    // W: fax row width in pixels
  int leftMargin = 50; // L
  bool highRes = false;
  TFaxCvtOptionsSet options = 0;

  // Decided by image readers when an image (or DCX page) is opened.
  bool doubleWidth = false;
  bool halfHeight = false;
  std::size_t centerOffset = 0; // whole bytes

  // Progress counters.
  uint64_t bytesConverted = 0;
  uint64_t bytesToConvert = 0;

  // Double width, half height and centring for an image w pixels wide.
  void decideImageGeometry(int imageWidth);
  // Moves a row of rowBytes right by the centring offset, clearing the bytes
  // it vacates; the row stays within kRawRowSize.
  void centerRow(uint8_t* raw, std::size_t& rowBytes) const;
};

class InputReader {
public:
  virtual ~InputReader() = default;
  // Added to an input name that has no extension ("TXT", "TIF", ...).
  virtual std::string defaultExtension() const = 0;
  // 0 or a negative error code.
  virtual int open(const std::string& name) = 0;
  // Fills `raw` (cleared by the caller) and sets the row's byte length. A call
  // that reports endOfPage delivers no row; morePages tells whether another
  // page follows.
  virtual int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) = 0;
  virtual void close() = 0;
};

} // namespace faximage
