#pragma once
// One fuzz input for the APF header reader or an input reader, shared by the
// fuzz targets and by the test that replays stored inputs. The input becomes
// an anonymous in-memory file, which the reader opens by its /proc path.

#include "faximage/ApfFile.h"
#include "faximage/ImageReaders.h"
#include "faximage/MhEncoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace imgfuzz {

enum class Kind { Apf, Bmp, Tiff, Pcx, Dcx, Text };

class MemoryFile {
public:
  MemoryFile(const uint8_t* data, std::size_t size) : m_fd(memfd_create("fuzz-input", 0)) {
    std::size_t done = 0;
    while (m_fd >= 0 && done < size) {
      const ssize_t n = ::write(m_fd, data + done, size - done);
      if (n <= 0)
        break;
      done += std::size_t(n);
    }
  }
  ~MemoryFile() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }
  bool ok() const { return m_fd >= 0; }

private:
  int m_fd;
};

inline void apf(const std::string& path) {
  faximage::ApfFileHeader header;
  if (faximage::readApfFileHeader(path, header) < 0)
    return;
  std::vector<uint8_t> data;
  for (unsigned page = 1; page <= header.pageCount && page <= 8; ++page) {
    faximage::ApfPageLocation location;
    faximage::locateApfPage(path, page, location);
    faximage::readApfPageData(path, page, data);
  }
}

inline std::unique_ptr<faximage::InputReader> reader(Kind kind, faximage::ReaderContext& ctx) {
  switch (kind) {
  case Kind::Bmp:
    return faximage::makeBmpReader(ctx);
  case Kind::Tiff:
    return faximage::makeTiffReader(ctx);
  case Kind::Pcx:
    return faximage::makePcxReader(ctx);
  case Kind::Dcx:
    return faximage::makeDcxReader(ctx);
  default:
    return faximage::makeTextReader(ctx, faximage::TextReaderOptions{3, 5, faximage::ffStandard});
  }
}

// Reads every page and row as the converter does (within limits that keep one
// input quick) and codes each row.
inline void readAll(Kind kind, const std::string& path, bool highRes, int width) {
  faximage::ReaderContext ctx;
  ctx.width = width;
  ctx.highRes = highRes;
  ctx.options = faximage::coDoubleWidth | faximage::coCenterImage | faximage::coHalfHeight;
  auto r = reader(kind, ctx);
  if (r->open(path) < 0)
    return;
  std::array<uint8_t, faximage::kRawRowSize> raw{};
  std::array<uint8_t, faximage::kMaxRowRecord> coded{};
  bool morePages = true;
  for (int pages = 0, rows = 0; morePages && pages < 16 && rows < 20000; ++pages) {
    for (bool endOfPage = false; !endOfPage && rows < 20000; ++rows) {
      raw.fill(0);
      std::size_t length = 0;
      if (r->readRow(raw.data(), length, endOfPage, morePages) < 0) {
        r->close();
        return;
      }
      if (!endOfPage)
        faximage::encodeRowRecord(raw.data(), {ctx.width, ctx.leftMargin, ctx.doubleWidth},
                                  coded.data());
    }
  }
  r->close();
}

inline void runInput(Kind kind, const uint8_t* data, std::size_t size) {
  MemoryFile file(data, size);
  if (!file.ok())
    return;
  if (kind == Kind::Apf) {
    apf(file.path());
    return;
  }
  readAll(kind, file.path(), false, 1728);
  readAll(kind, file.path(), true, 2048);
}

} // namespace imgfuzz
