#include "faxexport/FaxExport.h"

#include "faximage/ApfFile.h"
#include "faximage/UnpackerEngine.h"
#include "platform/FxErrors.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace faxexport {

using namespace faximage;

ExportPage DecodeFaxPage(const std::string& apfPath, int n, bool asCoded) {
  UnpackerEngine engine;
  std::array<uint8_t, 16> raw{};
  CheckFx(engine.readPageHeader(apfPath, n, raw));
  const ApfPageHeader header = ApfPageHeader::fromBytes(raw.data());
  const std::size_t stride = std::size_t(header.rowWidth()) / 8;
  std::vector<uint8_t> bits;
  engine.setOption(asCoded ? kUnpackAsCoded : kUnpackDoubleHeight, true);
  engine.setOutputRoutine([&](bool, bool, const uint8_t* data, int len, int) {
    const std::size_t at = bits.size();
    bits.resize(at + stride, 0);
    std::memcpy(bits.data() + at, data, std::min(stride, std::size_t(len)));
  });
  CheckFx(engine.unpackPage(apfPath, n));
  if (bits.empty())
    bits.resize(stride, 0); // an image needs at least one row
  ExportPage page;
  page.bitmap = PageBitmap(header.rowWidth(), int(bits.size() / stride));
  page.bitmap.bits().swap(bits);
  page.yDpi = header.fine() || !asCoded ? 196 : 98;
  return page;
}

void ExportFax(const std::string& apfPath, int first, int last, const std::string& outPath,
               ExportFormat format) {
  ApfFileHeader header;
  CheckFx(readApfFileHeader(apfPath, header));
  if (first < 1 || last < first || last > header.pageCount)
    RaiseFxError(ecBadArgument);
  const std::string temp = outPath + ".part" + std::to_string(getpid());
  // TIFF carries the vertical resolution, so standard rows stay as coded;
  // PDF pages are sized from the resolution as well.
  auto fetch = [&](int i) { return DecodeFaxPage(apfPath, first + i, true); };
  try {
    if (format == ExportFormat::Tiff)
      WriteTiff(temp, last - first + 1, fetch);
    else
      WritePdf(temp, last - first + 1, fetch);
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
  // The pages reach the disk before the name does, so that a crash never
  // leaves an empty file under the name of a good one.
  if (const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    const bool synced = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!synced) {
      std::remove(temp.c_str());
      RaiseFxError(IoErrorFromErrno(err, true));
    }
  }
  if (std::rename(temp.c_str(), outPath.c_str()) != 0) {
    const int err = errno;
    std::remove(temp.c_str());
    RaiseFxError(IoErrorFromErrno(err, true));
  }
}

} // namespace faxexport
