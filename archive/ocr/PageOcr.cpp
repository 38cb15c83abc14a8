#include "archive/ocr/PageOcr.h"

#include "archive/OcrLanguages.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

namespace archive {

void UseOneCore() {
  // omp_set_max_active_levels(0): no parallel region is active, each runs
  // on the thread that meets it. Looked up at run time, as the engine's
  // runtime is the one to set and this library is not built with OpenMP.
  using SetLevels = void (*)(int);
  if (auto set = reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels")))
    set(0);
}

PageOcr::PageOcr(const std::string& language) : m_api(std::make_unique<tesseract::TessBaseAPI>()) {
  // The folder whose languages the preferences offer, so that both agree.
  const std::string dir = OcrDataDir();
  if (m_api->Init(dir.empty() ? nullptr : dir.c_str(), language.c_str(),
                  tesseract::OEM_LSTM_ONLY) != 0)
    throw std::runtime_error("the OCR data for \"" + language + "\" is not installed");
  // A fax page is a page of text columns and blocks: fully automatic layout.
  m_api->SetPageSegMode(tesseract::PSM_AUTO);
  // The debug file keeps the engine from writing to the terminal.
  m_api->SetVariable("debug_file", "/dev/null");
}

PageOcr::~PageOcr() {
  if (m_api)
    m_api->End();
}

namespace {

// The words the engine found on the page it last read; y and height halved
// back when the rows were doubled for it.
void collectWords(tesseract::TessBaseAPI& api, bool doubledRows, PageWords& words) {
  std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
  if (!it)
    return;
  const auto level = tesseract::RIL_WORD;
  do {
    int left = 0, top = 0, right = 0, bottom = 0;
    if (it->Empty(level) || !it->BoundingBox(level, &left, &top, &right, &bottom))
      continue;
    std::unique_ptr<char[]> text(it->GetUTF8Text(level));
    if (!text || !*text.get())
      continue;
    const int shift = doubledRows ? 1 : 0;
    words.Boxes.push_back({left, top >> shift, right - left,
                           ((bottom + shift) >> shift) - (top >> shift), text.get()});
  } while (it->Next(level));
}

} // namespace

std::string PageOcr::Read(const faximage::PageBitmap& page, int xDpi, int yDpi,
                          PageWords* words) {
  if (words)
    *words = PageWords{page.width(), page.height(), {}};
  if (page.empty())
    return {};
  // The engine takes 1-bit images with 1 = white, so the page is inverted;
  // rows are doubled when the vertical resolution is half the horizontal.
  const bool doubleRows = yDpi > 0 && xDpi >= 2 * yDpi - yDpi / 4;
  const int height = doubleRows ? page.height() * 2 : page.height();
  const std::size_t stride = page.stride();
  std::vector<uint8_t> bits(stride * std::size_t(height));
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = page.row(doubleRows ? y / 2 : y);
    uint8_t* to = bits.data() + std::size_t(y) * stride;
    for (std::size_t i = 0; i < stride; ++i)
      to[i] = uint8_t(~from[i]);
  }
  m_api->SetImage(bits.data(), page.width(), height, 0, int(stride));
  m_api->SetSourceResolution(xDpi > 0 ? xDpi : 204);
  std::unique_ptr<char[]> text(m_api->GetUTF8Text());
  if (words)
    collectWords(*m_api, doubleRows, *words);
  m_api->Clear();
  return text ? std::string(text.get()) : std::string();
}

} // namespace archive
