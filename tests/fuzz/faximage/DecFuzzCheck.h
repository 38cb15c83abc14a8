#pragma once
// Fuzz inputs for the unpacker, shared by the fuzz targets and by the test
// that replays stored inputs.
//
// unpackApfInput: the input is an APF file (after one byte of engine
// settings); every page is unpacked to a bitmap and to rows.
// decodersAgree: the input is a coded bit stream, fed in pieces to the
// reference tree walker and to the table-driven decoder; they must deliver
// the same rows, invalid-code and dropped-row counts, and agree on where the
// page ends.

#include "faximage/MhBitDecoder.h"
#include "faximage/MhFastDecoder.h"
#include "faximage/MhRowBuilder.h"
#include "faximage/UnpackerEngine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace decfuzz {

class MemoryFile {
public:
  MemoryFile(const uint8_t* data, std::size_t size) : m_fd(memfd_create("unpack-input", 0)) {
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
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
  int m_fd;
};

inline void unpackApfInput(const uint8_t* data, std::size_t size) {
  if (size < 1)
    return;
  const uint8_t settings = data[0];
  MemoryFile file(data + 1, size - 1);
  faximage::UnpackerEngine engine;
  engine.setDecoder(settings & 1 ? faximage::UnpackDecoder::TreeWalk
                                 : faximage::UnpackDecoder::Fast);
  engine.setOption(faximage::kUnpackDoubleHeight, settings & 2);
  engine.setOption(faximage::kUnpackHalfWidth, settings & 4);
  engine.setWhitespace((settings >> 4) & 7, (settings >> 4) & 3);
  if (settings & 0x80)
    engine.setScaling(1, 1 + (settings & 3), 1 + ((settings >> 2) & 1), 3); // viewer-sized
  unsigned long rows = 0;
  engine.setOutputRoutine([&](bool, bool, const uint8_t* row, int len, int) {
    rows += len > 0 ? row[len - 1] & 1 : 0; // touch the row's last byte
  });
  std::array<uint8_t, 64> header{};
  if (engine.readFileHeader(file.path(), header) < 0)
    return;
  const int pages = std::min(3, header[32] | header[33] << 8);
  for (int n = 1; n <= pages + 1; ++n) {
    faximage::PageBitmap bitmap;
    if (engine.unpackPageToBitmap(file.path(), n, settings & 8, bitmap) == 0 && !bitmap.empty())
      rows += bitmap.row(bitmap.height() - 1)[bitmap.stride() - 1] & 1;
    engine.unpackPage(file.path(), n);
  }
}

struct Recorded : faximage::MhRowSink {
  std::vector<std::vector<uint8_t>> rows;
  void decodedRow(const uint8_t* row, std::size_t bytes) override {
    rows.emplace_back(row, row + bytes);
  }
};

// Returns false when the two decoders disagree.
inline bool decodersAgree(const uint8_t* data, std::size_t size) {
  if (size < 1)
    return true;
  const std::size_t piece = 1 + data[0] % 61; // block size, so codes straddle block ends
  ++data;
  --size;
  Recorded slowRows, fastRows;
  faximage::MhRowBuilder slowBuilder(slowRows), fastBuilder(fastRows);
  faximage::MhBitDecoder slow(slowBuilder);
  faximage::MhFastDecoder fast(fastBuilder);
  slowBuilder.startPage();
  fastBuilder.startPage();
  slow.startPage();
  fast.startPage();
  std::size_t used = 0;
  while (used < size && slowBuilder.eolCount() < 3)
    slow.feedByte(data[used++]);
  for (std::size_t at = 0; at < size && !fast.pageEnded(); at += piece)
    fast.feed(data + at, std::min(piece, size - at));
  const bool slowEnded = slowBuilder.eolCount() >= 3;
  return slowRows.rows == fastRows.rows &&
         slowBuilder.invalidCodes() == fastBuilder.invalidCodes() &&
         slowBuilder.droppedRows() == fastBuilder.droppedRows() && slowEnded == fast.pageEnded();
}

} // namespace decfuzz
