#include "archive/ocr/PageOcr.h"

#include <tesseract/baseapi.h>

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
  if (m_api->Init(nullptr, language.c_str(), tesseract::OEM_LSTM_ONLY) != 0)
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

std::string PageOcr::Read(const faximage::PageBitmap& page, int xDpi, int yDpi) {
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
  m_api->Clear();
  return text ? std::string(text.get()) : std::string();
}

std::vector<std::string> PageOcr::InstalledLanguages() {
  tesseract::TessBaseAPI api;
  std::vector<std::string> found;
  if (api.Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0 &&
      api.Init(nullptr, "osd", tesseract::OEM_TESSERACT_ONLY) != 0)
    return found;
  std::vector<std::string> languages;
  api.GetAvailableLanguagesAsVector(&languages);
  for (const std::string& l : languages)
    if (l != "osd")
      found.push_back(l);
  api.End();
  return found;
}

} // namespace archive
