#include "faximage/FaxUnpacker.h"

#include "platform/FxErrors.h"

#include <strings.h>

namespace faximage {

TFxCustomFaxUnpacker::TFxCustomFaxUnpacker() = default;
TFxCustomFaxUnpacker::~TFxCustomFaxUnpacker() = default;

void TFxCustomFaxUnpacker::SetOptions(TUnpackerOptionsSet options) {
  m_options = options;
  if (m_engine) {
    m_engine->setOption(kUnpackYield, (options & uoYield) != 0);
    if (options & uoAbort)
      m_engine->setOption(kUnpackAbort, true);
  }
}

void TFxCustomFaxUnpacker::SetInFileName(const std::string& name) {
  if (strcasecmp(name.c_str(), m_inFileName.c_str()) == 0)
    return;
  m_inFileName = name;
  // The output name is the input name without its extension.
  const auto slash = name.find_last_of('/');
  const auto dot = name.find_last_of('.');
  OutFileName = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                    ? name.substr(0, dot)
                    : name;
}

void TFxCustomFaxUnpacker::prepareEngine() {
  m_engine = std::make_unique<UnpackerEngine>(
      [this](bool starting, bool ending, const uint8_t* data, int len, int page) {
        OutputLine(starting, ending, data, len, page);
      });
  m_engine->setStatusRoutine([this](const std::string& name, int page, long done, long total) {
    Status(name, page, done, total);
  });
  m_engine->setOption(kUnpackYield, (m_options & uoYield) != 0);
  if (AutoScaleMode == asDoubleHeight)
    m_engine->setOption(kUnpackDoubleHeight, true);
  else if (AutoScaleMode == asHalfWidth)
    m_engine->setOption(kUnpackHalfWidth, true);
  if (WhitespaceCompression)
    CheckFx(m_engine->setWhitespace(WhitespaceFrom, WhitespaceTo));
  if (Scaling)
    m_engine->setScaling(m_horizMult, m_horizDiv, m_vertMult, m_vertDiv);
}

int TFxCustomFaxUnpacker::CountPages() {
  prepareEngine();
  std::array<uint8_t, 64> header{};
  if (m_engine->readFileHeader(m_inFileName, header) < 0)
    return 0;
  return header[32] | header[33] << 8;
}

uint16_t TFxCustomFaxUnpacker::firstPageFlags() {
  prepareEngine();
  std::array<uint8_t, 16> header{};
  CheckFx(m_engine->readPageHeader(m_inFileName, 1, header));
  return uint16_t(header[4] | header[5] << 8);
}

bool TFxCustomFaxUnpacker::FirstPageIsFine() {
  return (firstPageFlags() & PageFlagFine) != 0;
}

bool TFxCustomFaxUnpacker::FirstPageIsWide() {
  return (firstPageFlags() & PageFlagWide) != 0;
}

// Our page bitmaps keep 1 = black, so the rows are collected as decoded
// rather than inverted into the 1 = white form of a display bitmap.
std::unique_ptr<PageBitmap> TFxCustomFaxUnpacker::PageToBitmap(int page) {
  prepareEngine();
  auto bitmap = std::make_unique<PageBitmap>();
  CheckFx(m_engine->unpackPageToBitmap(m_inFileName, page, false, *bitmap));
  return bitmap;
}

void TFxCustomFaxUnpacker::UnpackPage(int page) {
  prepareEngine();
  static const uint8_t kNoRow[1] = {0};
  OutputLine(true, false, kNoRow, 0, page);
  CheckFx(m_engine->unpackPage(m_inFileName, page));
  OutputLine(false, true, kNoRow, 0, page);
}

void TFxCustomFaxUnpacker::OutputLine(bool starting, bool ending, const uint8_t* data, int len,
                                      int pageNum) {
  if (OnOutputLine)
    OnOutputLine(this, starting, ending, data, len, pageNum);
}

void TFxCustomFaxUnpacker::Status(const std::string& fName, int pageNum, long bytesUnpacked,
                                  long bytesToUnpack) {
  if (OnStatus)
    OnStatus(this, fName, pageNum, bytesUnpacked, bytesToUnpack);
}

} // namespace faximage
