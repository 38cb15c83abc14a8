#pragma once
// Reads the text of one fax page with the Tesseract OCR engine. The engine
// is loaded once per reader and a reader serves one thread at a time.

#include "archive/WordBoxes.h"
#include "faximage/PageBitmap.h"

#include <memory>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace archive {

class PageOcr {
public:
  // language: one or more installed languages joined with "+" ("eng",
  // "eng+deu"). Throws std::runtime_error when the language data is missing.
  explicit PageOcr(const std::string& language = "eng");
  ~PageOcr();
  PageOcr(const PageOcr&) = delete;
  PageOcr& operator=(const PageOcr&) = delete;

  // The text of a page (1 = black) whose pixels are xDpi by yDpi per inch.
  // Rows of a page with half the horizontal resolution (standard fax pages
  // as coded) are doubled first: the engine's line finder expects square
  // pixels. With `words`, also where each word stands, in the page's pixels
  // as coded.
  std::string Read(const faximage::PageBitmap& page, int xDpi, int yDpi,
                   PageWords* words = nullptr);

private:
  std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

// Makes the engine use one core: it otherwise spreads each page over every
// core through OpenMP, which a background reader must not do. OpenMP takes
// its thread limit from the environment only as it is loaded (often before
// main(), with other libraries), so this turns off nested and top-level
// parallel teams instead: for the whole process, which uses OpenMP nowhere
// else.
void UseOneCore();

} // namespace archive
