#include "faximage/ConvertEngine.h"

#include "faximage/ApfWriter.h"
#include "faximage/MhEncoder.h"
#include "platform/FxErrors.h"
#include "platform/PendingEvents.h"

#include <array>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace faximage {

bool hasExtension(const std::string& name) {
  const auto dot = name.find_last_of('.');
  const auto sep = name.find_last_of("/\\");
  return dot != std::string::npos && (sep == std::string::npos || dot > sep);
}

std::string replaceExtension(const std::string& name, const std::string& extension) {
  std::string base = hasExtension(name) ? name.substr(0, name.find_last_of('.')) : name;
  return base + "." + extension;
}

std::string resolveInputName(const std::string& name, const std::string& defaultExtension) {
  if (name.empty() || hasExtension(name) || defaultExtension.empty())
    return name;
  return name + "." + defaultExtension;
}

std::string resolveOutputName(const std::string& outFileName, const std::string& inputName) {
  if (outFileName.empty())
    return replaceExtension(inputName, "APF");
  return hasExtension(outFileName) ? outFileName : outFileName + ".APF";
}

namespace {

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool isFile(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::unique_ptr<InputReader> makeReader(const ConvertSettings& s, const ConvertEvents& events,
                                        ReaderContext& ctx) {
  switch (s.type) {
  case idText:
    return makeTextReader(ctx, TextReaderOptions{s.tabStop, s.linesPerPage, s.font});
  case idTiff:
    return makeTiffReader(ctx);
  case idPcx:
    return makePcxReader(ctx);
  case idDcx:
    return makeDcxReader(ctx);
  case idBmp:
    return makeBmpReader(ctx);
  case idUser:
    return makeUserReader(ctx, s.defUserExtension, events.user);
  default:
    return nullptr;
  }
}

class Conversion {
public:
  Conversion(const ConvertSettings& s, const ConvertEvents& events) : m_s(s), m_events(events) {
    m_ctx.width = s.width == fwWide ? 2048 : 1728;
    m_ctx.leftMargin = int(std::min<unsigned>(s.leftMargin, unsigned(m_ctx.width)));
    m_ctx.highRes = s.resolution == frHigh;
    m_ctx.options = s.options;
    m_pageFlags = uint16_t(PageFlagLengthWords | (m_ctx.highRes ? PageFlagFine : 0) |
                           (m_ctx.width == 2048 ? PageFlagWide : 0));
  }

  int run(const std::string& documentFile, const std::string& outFileName) {
    m_reader = makeReader(m_s, m_events, m_ctx);
    if (!m_reader)
      return ecBadArgument;
    std::string input = resolveInputName(documentFile, m_reader->defaultExtension());
    // A name without extension is read as it is named when no file with
    // the default extension is there.
    if (input != documentFile && !isFile(input) && isFile(documentFile))
      input = documentFile;
    const std::string output = resolveOutputName(outFileName, input);
    // Creating the output truncates it: it must not be the input itself.
    if (sameFile(input, output))
      return ecBadArgument;
    if (int rc = m_writer.create(output); rc < 0)
      return rc;
    if (report(true, false))
      return ecConvertAbort; // the writer's destructor removes the file
    if (int rc = m_reader->open(input); rc < 0)
      return rc;
    int rc = pages();
    report(false, true);
    m_reader->close();
    if (rc == ecOK)
      rc = m_writer.finish(m_s.stationId, std::time(nullptr));
    return rc;
  }

private:
  // Raises the status event; true when the owner asks to abort.
  bool report(bool starting, bool ending) {
    bool abort = false;
    if (m_events.status)
      m_events.status(starting, ending, m_page, m_row, long(m_ctx.bytesConverted),
                      long(m_ctx.bytesToConvert), abort);
    return abort;
  }

  int readRow(bool& endOfPage, bool& morePages) {
    std::memset(m_raw.data(), 0, std::size_t(m_ctx.width / 8));
    ++m_row;
    std::size_t length = 0;
    if (int rc = m_reader->readRow(m_raw.data(), length, endOfPage, morePages); rc < 0)
      return rc;
    return report(false, false) ? ecConvertAbort : ecOK;
  }

  int pages() {
    bool morePages = true;
    while (morePages) {
      ++m_page;
      m_row = 0;
      if (int rc = topMargin(); rc < 0)
        return rc;
      bool endOfPage = false;
      if (int rc = readRow(endOfPage, morePages); rc < 0)
        return rc;
      while (!endOfPage) {
        if (!(m_ctx.halfHeight && m_row % 2 == 0))
          if (int rc = writeRow(); rc < 0)
            return rc;
        if (int rc = readRow(endOfPage, morePages); rc < 0)
          return rc;
        if ((m_s.options & coYield) && (m_s.options & coYieldOften) && m_row % 16 == 0) {
          platform::processPendingEvents();
          if (platform::quitRequested())
            return ecGotQuitMsg;
        }
      }
      if (int rc = m_writer.endPage(m_pageFlags); rc < 0)
        return rc;
      if (m_s.options & coYield) {
        platform::processPendingEvents();
        if (platform::quitRequested())
          return ecGotQuitMsg;
      }
    }
    return ecOK;
  }

  int topMargin() {
    if (m_s.topMargin == 0)
      return ecOK;
    const std::size_t n = encodeBlankRowRecord(m_ctx.width, m_coded.data());
    for (unsigned i = 0; i < m_s.topMargin; ++i)
      if (int rc = m_writer.writeRecord(m_coded.data(), n, m_pageFlags); rc < 0)
        return rc;
    return ecOK;
  }

  int writeRow() {
    const RowLayout layout{m_ctx.width, m_ctx.leftMargin, m_ctx.doubleWidth};
    const std::size_t n = encodeRowRecord(m_raw.data(), layout, m_coded.data());
    return m_writer.writeRecord(m_coded.data(), n, m_pageFlags);
  }

  const ConvertSettings& m_s;
  const ConvertEvents& m_events;
  ReaderContext m_ctx;
  std::unique_ptr<InputReader> m_reader;
  ApfWriter m_writer;
  uint16_t m_pageFlags = 0;
  int m_page = 0;
  int m_row = 0;
  std::array<uint8_t, kRawRowSize> m_raw{};
  std::array<uint8_t, kRawRowSize> m_coded{};
};

} // namespace

int convertToApf(const ConvertSettings& settings, const std::string& documentFile,
                 const std::string& outFileName, const ConvertEvents& events) {
  try {
    auto conversion = std::make_unique<Conversion>(settings, events);
    return conversion->run(documentFile, outFileName);
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
}

} // namespace faximage
