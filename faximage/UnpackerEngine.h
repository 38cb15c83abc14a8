#pragma once
// The unpacker engine: reads one page of an APF file, decodes its Modified
// Huffman rows, compresses runs of blank rows, corrects the aspect of
// standard-resolution pages, and hands the rows to an output routine or
// assembles them into a page bitmap. Used directly by the fax viewer and
// through TFxFaxUnpacker by the fax printer.

#include "faximage/MhBitDecoder.h"
#include "faximage/MhFastDecoder.h"
#include "faximage/MhRowBuilder.h"
#include "faximage/PageBitmap.h"
#include "faximage/PageCollector.h"
#include "faximage/UnpackerInput.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace faximage {

// Option bits of the engine.
inline constexpr unsigned kUnpackYield = 1;
inline constexpr unsigned kUnpackDoubleHeight = 2;
inline constexpr unsigned kUnpackHalfWidth = 4;
inline constexpr unsigned kUnpackAbort = 8;
// Standard-resolution rows as coded, neither doubled nor halved (for exports
// into formats that carry the vertical resolution themselves).
inline constexpr unsigned kUnpackAsCoded = 16;

// Which decoder turns the coded bits into rows. Both give the same rows; the
// tree walker is the plain reference, the table-driven one is several times faster.
enum class UnpackDecoder { Fast, TreeWalk };

// (Starting, Ending, row data, row length in bytes, page number)
using UnpackOutputLine =
    std::function<void(bool starting, bool ending, const uint8_t* data, int length, int page)>;
// (file name, page number, bytes read so far, the page's ImageLength)
using UnpackStatus =
    std::function<void(const std::string& fileName, int page, long done, long total)>;

class UnpackerEngine : private MhRowSink {
public:
  explicit UnpackerEngine(UnpackOutputLine output = {});
  UnpackerEngine(const UnpackerEngine&) = delete;
  UnpackerEngine& operator=(const UnpackerEngine&) = delete;

  // Double height and half width exclude each other: setting both leaves neither.
  void setOption(unsigned bit, bool on);
  bool option(unsigned bit) const { return (m_options & bit) != 0; }
  // -1002 when from < to, or from = 0 with to != 0; (0, 0) turns compression off.
  int setWhitespace(unsigned from, unsigned to);
  void setScaling(unsigned horizMult, unsigned horizDiv, unsigned vertMult, unsigned vertDiv);
  void setStatusRoutine(UnpackStatus status) { m_status = std::move(status); }
  void setOutputRoutine(UnpackOutputLine output) { m_output = std::move(output); }
  void setDecoder(UnpackDecoder decoder) { m_decoder = decoder; }

  int readFileHeader(const std::string& fileName, std::array<uint8_t, 64>& header);
  int readPageHeader(const std::string& fileName, int page, std::array<uint8_t, 16>& header);
  // Every row of page n goes to the output routine.
  int unpackPage(const std::string& fileName, int page);
  // Page n as a bitmap at the used width (and stretched when scaling is set).
  // With invert the bits are 1 = white, otherwise 1 = black.
  int unpackPageToBitmap(const std::string& fileName, int page, bool invert, PageBitmap& out);

  // Counters of the last page unpacked.
  unsigned long rowsDecoded() const { return m_rowsDecoded; }
  unsigned long invalidCodes() const { return m_rows.invalidCodes(); }
  unsigned long droppedRows() const { return m_rows.droppedRows(); }

private:
  void decodedRow(const uint8_t* row, std::size_t bytes) override;
  int unpack(const std::string& fileName, int page, bool toCollector);
  int decodePage();
  bool afterBlock();
  void deliverPendingBlanks(bool atPageEnd);
  void deliverRow(const uint8_t* row, std::size_t bytes);
  void output(const uint8_t* row, std::size_t bytes);
  void reportStatus();
  int scale(PageBitmap& page, bool invert) const;

  unsigned m_options = 0;
  unsigned m_whiteFrom = 0, m_whiteTo = 0;
  unsigned m_horizMult = 1, m_horizDiv = 1, m_vertMult = 1, m_vertDiv = 1;
  UnpackOutputLine m_output;
  UnpackStatus m_status;
  UnpackDecoder m_decoder = UnpackDecoder::Fast;

  UnpackerInput m_input;
  MhRowBuilder m_rows{*this};
  MhBitDecoder m_bitDecoder{m_rows};
  MhFastDecoder m_fastDecoder{m_rows};
  std::string m_fileName;
  int m_page = 0;
  bool m_fine = false;
  bool m_invert = false;
  bool m_toCollector = false;
  unsigned long m_pendingBlanks = 0;
  unsigned long m_rowsDecoded = 0;
  unsigned long m_lastYieldAt = ~0ul;
  std::array<uint8_t, 512> m_outRow{};
  PageCollector m_collector;
};

} // namespace faximage
