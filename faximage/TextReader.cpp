// Plain text input, drawn line by line with the built-in fax font.

#include "faximage/FaxFont.h"
#include "faximage/ImageReaders.h"
#include "faximage/InputBuffer.h"
#include "platform/FxErrors.h"

#include <algorithm>
#include <optional>
#include <string>

namespace faximage {

namespace {

constexpr std::size_t kMaxLine = 144;
constexpr char kFormFeed = 12;
constexpr char kCtrlZ = 26;

class TextReader final : public InputReader {
public:
  TextReader(ReaderContext& context, const TextReaderOptions& options)
      : m_ctx(context), m_tabStop(options.tabStop ? options.tabStop : 4),
        m_linesPerPage(options.linesPerPage),
        m_font(options.font == ffSmall ? kFaxFontSmall : kFaxFontStandard, context.highRes) {
    const int c = m_font.cellWidth();
    m_maxChars = std::size_t(std::max(0, context.width / c - context.leftMargin / c));
  }

  std::string defaultExtension() const override { return "TXT"; }

  int open(const std::string& name) override {
    if (int rc = m_in.open(name); rc < 0)
      return rc;
    m_ctx.bytesToConvert = m_in.fileSize();
    return ecOK;
  }

  int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) override {
    endOfPage = false;
    morePages = true;
    length = 0;
    if (m_glyphRow == 0)
      if (int rc = nextLine(endOfPage, morePages); rc < 0 || endOfPage || !m_haveLine)
        return rc;
    const auto* text = reinterpret_cast<const uint8_t*>(m_line.data());
    length = (m_line.size() * std::size_t(m_font.cellWidth()) + 7) / 8;
    m_font.drawTextRow(text, m_line.size(), m_glyphRow, raw, length);
    m_glyphRow = (m_glyphRow + 1) % m_font.cellHeight();
    ++m_rowsOnPage;
    return ecOK;
  }

  void close() override { m_in.close(); }

private:
  // Loads the next line to draw, or ends the page.
  int nextLine(bool& endOfPage, bool& morePages) {
    m_haveLine = false;
    if (m_carried) {
      // The line that ended the previous page opens this one.
      m_carried = false;
      m_linesOnPage = 1;
      m_haveLine = true;
      return ecOK;
    }
    const bool fromRemainder = m_remainder.has_value();
    std::string line;
    if (fromRemainder) {
      line = std::move(*m_remainder);
      m_remainder.reset();
    } else {
      bool got = false;
      if (int rc = readFileLine(line, got); rc < 0)
        return rc;
      if (!got)
        return endOfText(endOfPage, morePages);
    }
    if (const auto ff = line.find(kFormFeed); ff != std::string::npos) {
      m_remainder = line.substr(ff + 1);
      line.resize(ff);
    }
    if (fromRemainder && line.empty() && !m_remainder) {
      // A form feed at the end of a line only ends the page.
      return pageBreak(endOfPage, morePages, !m_in.atEnd() && !m_sawCtrlZ);
    }
    m_line = expand(line);
    ++m_linesOnPage;
    if (fromRemainder || (m_linesPerPage && m_linesOnPage > m_linesPerPage)) {
      m_carried = true;
      return pageBreak(endOfPage, morePages, true);
    }
    m_haveLine = true;
    return ecOK;
  }

  int pageBreak(bool& endOfPage, bool& morePages, bool more) {
    endOfPage = true;
    morePages = more;
    m_linesOnPage = 0;
    m_rowsOnPage = 0;
    return ecOK;
  }

  // End of the text: a page with no rows yet gets one white row, so that
  // every page has at least one.
  int endOfText(bool& endOfPage, bool& morePages) {
    morePages = false;
    if (m_rowsOnPage == 0) {
      ++m_rowsOnPage;
      return ecOK; // white row: length 0, nothing drawn
    }
    endOfPage = true;
    return ecOK;
  }

  // One line of the file up to CR, LF or CR LF; characters beyond 144 are
  // skipped and a Ctrl-Z ends the text.
  int readFileLine(std::string& line, bool& got) {
    got = false;
    if (m_sawCtrlZ)
      return ecOK;
    const uint64_t start = m_in.position();
    for (;;) {
      uint8_t b = 0;
      bool eof = false;
      if (int rc = m_in.get(b, eof); rc < 0)
        return rc;
      if (eof)
        break;
      got = true;
      if (b == kCtrlZ) {
        m_sawCtrlZ = true;
        break;
      }
      if (b == '\n')
        break;
      if (b == '\r') {
        if (int rc = m_in.get(b, eof); rc < 0)
          return rc;
        if (!eof && b != '\n')
          m_in.seek(m_in.position() - 1);
        break;
      }
      if (line.size() < kMaxLine)
        line.push_back(char(b));
    }
    if (got && line.empty() && m_sawCtrlZ && m_in.position() - start == 1)
      got = false; // a Ctrl-Z alone is no line
    const uint64_t consumed = m_in.position() - start;
    m_ctx.bytesConverted =
        std::min<uint64_t>(m_ctx.bytesConverted + consumed, m_ctx.bytesToConvert);
    return ecOK;
  }

  // Tabs to the next multiple of the tab stop, at most 144 characters, then
  // cut to what fits between the left margin and the row end.
  std::string expand(const std::string& line) const {
    std::string out;
    for (char ch : line) {
      if (out.size() >= kMaxLine)
        break;
      if (ch == '\t') {
        do
          out.push_back(' ');
        while (out.size() % m_tabStop && out.size() < kMaxLine);
      } else {
        out.push_back(ch);
      }
    }
    if (out.size() > m_maxChars)
      out.resize(m_maxChars);
    return out;
  }

  ReaderContext& m_ctx;
  unsigned m_tabStop;
  unsigned m_linesPerPage;
  FaxFontFace m_font;
  std::size_t m_maxChars = 0;
  InputBuffer m_in;
  std::string m_line;
  bool m_haveLine = false;
  bool m_carried = false;
  bool m_sawCtrlZ = false;
  std::optional<std::string> m_remainder;
  int m_glyphRow = 0;
  unsigned m_linesOnPage = 0;
  unsigned m_rowsOnPage = 0;
};

} // namespace

std::unique_ptr<InputReader> makeTextReader(ReaderContext& context,
                                            const TextReaderOptions& options) {
  return std::make_unique<TextReader>(context, options);
}

} // namespace faximage
