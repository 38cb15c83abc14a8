#include "faximage/UnpackerEngine.h"

#include "platform/FxErrors.h"
#include "platform/PendingEvents.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace faximage {

namespace {

// Four output bits per input byte: each is black when either of a pair is.
struct HalfTable {
  uint8_t nibble[256];
  HalfTable() {
    for (int b = 0; b < 256; ++b) {
      int n = 0;
      for (int pair = 0; pair < 4; ++pair)
        if (b & (0xC0 >> (2 * pair)))
          n |= 0x8 >> pair;
      nibble[b] = uint8_t(n);
    }
  }
};

bool allWhite(const uint8_t* row, std::size_t bytes) {
  return std::all_of(row, row + bytes, [](uint8_t b) { return b == 0; });
}

constexpr int64_t kMaxBitmapSide = 1 << 20;
constexpr int64_t kMaxBitmapBytes = int64_t(1) << 30;

} // namespace

UnpackerEngine::UnpackerEngine(UnpackOutputLine output) : m_output(std::move(output)) {}

void UnpackerEngine::setOption(unsigned bit, bool on) {
  m_options = on ? (m_options | bit) : (m_options & ~bit);
  if ((m_options & kUnpackDoubleHeight) && (m_options & kUnpackHalfWidth))
    m_options &= ~(kUnpackDoubleHeight | kUnpackHalfWidth);
}

int UnpackerEngine::setWhitespace(unsigned from, unsigned to) {
  if (from < to || (from == 0 && to != 0))
    return ecBadArgument;
  m_whiteFrom = from;
  m_whiteTo = to;
  return ecOK;
}

void UnpackerEngine::setScaling(unsigned horizMult, unsigned horizDiv, unsigned vertMult,
                                unsigned vertDiv) {
  m_horizMult = horizMult;
  m_horizDiv = horizDiv;
  m_vertMult = vertMult;
  m_vertDiv = vertDiv;
}

int UnpackerEngine::readFileHeader(const std::string& fileName, std::array<uint8_t, 64>& header) {
  const int rc = m_input.openFile(fileName);
  if (rc == ecOK)
    header = m_input.fileHeader();
  m_input.close();
  return rc;
}

int UnpackerEngine::readPageHeader(const std::string& fileName, int page,
                                   std::array<uint8_t, 16>& header) {
  int rc = m_input.openFile(fileName);
  if (rc == ecOK)
    rc = m_input.seekPage(page);
  if (rc == ecOK)
    header = m_input.pageHeader();
  m_input.close();
  return rc;
}

int UnpackerEngine::unpackPage(const std::string& fileName, int page) {
  m_invert = false;
  try {
    return unpack(fileName, page, false);
  } catch (const std::bad_alloc&) {
    m_input.close();
    return ecOutOfMemory;
  }
}

int UnpackerEngine::unpackPageToBitmap(const std::string& fileName, int page, bool invert,
                                       PageBitmap& out) {
  m_invert = invert;
  int rc;
  try {
    rc = unpack(fileName, page, true);
  } catch (const std::bad_alloc&) {
    m_input.close();
    return ecOutOfMemory;
  }
  if (rc < 0)
    return rc;
  try {
    m_collector.finish(out);
    return scale(out, invert);
  } catch (const std::bad_alloc&) {
    return ecCantMakeBitmap;
  }
}

int UnpackerEngine::scale(PageBitmap& page, bool invert) const {
  if (page.empty() || (m_horizMult == m_horizDiv && m_vertMult == m_vertDiv))
    return ecOK;
  const int64_t width = int64_t(page.width()) * m_horizMult / std::max(1u, m_horizDiv);
  const int64_t height = int64_t(page.height()) * m_vertMult / std::max(1u, m_vertDiv);
  if (width > kMaxBitmapSide || height > kMaxBitmapSide ||
      (width + 7) / 8 * height > kMaxBitmapBytes)
    return ecCantMakeBitmap;
  PageBitmap stretched;
  stretchPage(page, int(width), int(height), invert, stretched);
  page = std::move(stretched);
  return ecOK;
}

int UnpackerEngine::unpack(const std::string& fileName, int page, bool toCollector) {
  int rc = m_input.openFile(fileName);
  if (rc == ecOK)
    rc = m_input.seekPage(page);
  if (rc < 0) {
    m_input.close();
    return rc;
  }
  m_fileName = fileName;
  m_page = page;
  m_fine = (m_input.pageFlags() & PageFlagFine) != 0;
  m_toCollector = toCollector;
  m_pendingBlanks = 0;
  m_rowsDecoded = 0;
  m_lastYieldAt = ~0ul;
  m_rows.startPage();
  m_bitDecoder.startPage();
  m_fastDecoder.startPage();
  if (toCollector)
    m_collector.start((m_input.pageFlags() & PageFlagWide) ? 256 : 216, m_invert);
  rc = decodePage();
  if (rc == ecOK) {
    deliverPendingBlanks(true);
    reportStatus();
  }
  m_input.close();
  return rc;
}

int UnpackerEngine::decodePage() {
  const uint8_t* data = nullptr;
  std::size_t length = 0;
  while (m_rows.eolCount() < 3 && !m_fastDecoder.pageEnded()) {
    const int rc = m_input.nextBlock(data, length);
    if (rc <= 0)
      return rc;
    if (m_decoder == UnpackDecoder::Fast) {
      m_fastDecoder.feed(data, length);
      if (!afterBlock())
        return platform::quitRequested() ? ecGotQuitMsg : ecOK;
      continue;
    }
    // The reference path checks for the page end, abort and yield after every byte.
    for (std::size_t i = 0; i < length && m_rows.eolCount() < 3; ++i) {
      m_bitDecoder.feedByte(data[i]);
      if (!afterBlock())
        return platform::quitRequested() ? ecGotQuitMsg : ecOK;
    }
  }
  return ecOK;
}

// Abort, yield and status between steps of decoding; false ends the page
// quietly, or with ecGotQuitMsg when the program is being told to quit.
bool UnpackerEngine::afterBlock() {
  if (m_options & kUnpackAbort)
    return false;
  if ((m_options & kUnpackYield) && m_rowsDecoded % 16 == 0 && m_rowsDecoded != m_lastYieldAt) {
    m_lastYieldAt = m_rowsDecoded;
    platform::processPendingEvents();
    if (platform::quitRequested())
      return false;
  }
  reportStatus();
  return true;
}

void UnpackerEngine::reportStatus() {
  if (m_status)
    m_status(m_fileName, m_page, long(std::min(m_input.bytesRead(), m_input.imageLength())),
             long(m_input.imageLength()));
}

void UnpackerEngine::decodedRow(const uint8_t* row, std::size_t bytes) {
  ++m_rowsDecoded;
  if (m_whiteFrom != 0 && m_whiteTo != 0) {
    if (allWhite(row, bytes)) {
      ++m_pendingBlanks;
      return;
    }
    deliverPendingBlanks(false);
  }
  deliverRow(row, bytes);
}

// A run of at least From blank rows shrinks to To rows; a shorter run stays.
// At the page's end the run is dropped when From = To.
void UnpackerEngine::deliverPendingBlanks(bool atPageEnd) {
  unsigned long count = m_pendingBlanks >= m_whiteFrom ? m_whiteTo : m_pendingBlanks;
  if (atPageEnd && m_whiteFrom == m_whiteTo)
    count = 0;
  m_pendingBlanks = 0;
  for (unsigned long i = 0; i < count; ++i) {
    ++m_rowsDecoded;
    deliverRow(m_outRow.data(), 0);
  }
}

void UnpackerEngine::deliverRow(const uint8_t* row, std::size_t bytes) {
  static const HalfTable half;
  const bool standard = !m_fine && !(m_options & kUnpackAsCoded);
  const bool doubleHeight = standard && (m_options & kUnpackDoubleHeight);
  if (standard && !doubleHeight) {
    // Standard rows are twice as tall as they are wide: halve the width instead.
    for (std::size_t i = 0; i < bytes / 2; ++i)
      m_outRow[i] = uint8_t(half.nibble[row[2 * i]] << 4 | half.nibble[row[2 * i + 1]]);
    bytes /= 2;
  } else if (bytes > 0) {
    std::memcpy(m_outRow.data(), row, bytes);
  }
  if (m_invert)
    for (std::size_t i = 0; i < bytes; ++i)
      m_outRow[i] = uint8_t(~m_outRow[i]);
  output(m_outRow.data(), bytes);
  if (doubleHeight)
    output(m_outRow.data(), bytes);
}

void UnpackerEngine::output(const uint8_t* row, std::size_t bytes) {
  if (m_toCollector)
    m_collector.addRow(row, bytes);
  else if (m_output)
    m_output(false, false, row, int(bytes), m_page);
}

} // namespace faximage
