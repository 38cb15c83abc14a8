// tolvane-fax export: APF pages to PNG, PBM or TIFF images.
#include "faximage/ApfFile.h"
#include "faximage/UnpackerEngine.h"
#include "platform/FxErrors.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"
#include "tools/tolvane-fax/PageFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cli {

using namespace faximage;

namespace {

// Page n at full row width. Standard pages get every row twice unless
// asCoded, so that the picture keeps its proportions in formats that ignore
// the resolution; TIFF carries the resolution and takes the rows as coded.
ExportPage decodePage(const std::string& path, int n, bool asCoded) {
  UnpackerEngine engine;
  std::array<uint8_t, 16> raw{};
  CheckFx(engine.readPageHeader(path, n, raw));
  const ApfPageHeader header = ApfPageHeader::fromBytes(raw.data());
  const std::size_t stride = std::size_t(header.rowWidth()) / 8;
  std::vector<uint8_t> bits;
  engine.setOption(asCoded ? kUnpackAsCoded : kUnpackDoubleHeight, true);
  engine.setOutputRoutine([&](bool, bool, const uint8_t* data, int len, int) {
    const std::size_t at = bits.size();
    bits.resize(at + stride, 0);
    std::memcpy(bits.data() + at, data, std::min(stride, std::size_t(len)));
  });
  CheckFx(engine.unpackPage(path, n));
  if (bits.empty())
    bits.resize(stride, 0); // an image needs at least one row
  ExportPage page;
  page.bitmap = PageBitmap(header.rowWidth(), int(bits.size() / stride));
  page.bitmap.bits().swap(bits);
  page.yDpi = header.fine() || !asCoded ? 196 : 98;
  return page;
}

std::string formatFor(const CommandLine& cl, const std::string& out) {
  std::string f = cl.has("format") ? cl.value("format") : extensionOf(out);
  if (f == "tif")
    f = "tiff";
  if (f != "png" && f != "pbm" && f != "tiff")
    throw UsageError("export writes png, pbm or tiff (give --format or a file extension)");
  return f;
}

std::string nameFor(const std::string& pattern, int page) {
  const auto at = pattern.find("%d");
  return at == std::string::npos
             ? pattern
             : pattern.substr(0, at) + std::to_string(page) + pattern.substr(at + 2);
}

void writeOne(const std::string& format, const std::string& name, const ExportPage& page) {
  AtomicOutput out(name);
  if (format == "png")
    writePng(out.tempPath(), page);
  else if (format == "pbm")
    writePbm(out.tempPath(), page);
  else
    writeTiff(out.tempPath(), 1, [&](int) { return page; });
  out.commit();
  std::printf("%s\n", name.c_str());
}

} // namespace

int exportCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args, {"format", "page"}, {"as-coded"});
  if (cl.positional().size() != 2)
    throw UsageError("export wants an APF file and an output name");
  const std::string& path = cl.positional()[0];
  const std::string& pattern = cl.positional()[1];
  const std::string format = formatFor(cl, pattern);
  ApfFileHeader header;
  CheckFx(readApfFileHeader(path, header));
  int first = 1, last = header.pageCount;
  if (cl.has("page"))
    first = last = int(cl.number("page", 1, 1, 65535));
  const bool perPage = pattern.find("%d") != std::string::npos;
  const bool asCoded = cl.has("as-coded") || format == "tiff";
  if (!perPage && format == "tiff" && last > first) {
    AtomicOutput out(pattern);
    writeTiff(out.tempPath(), last - first + 1,
              [&](int i) { return decodePage(path, first + i, asCoded); });
    out.commit();
    std::printf("%s\n", pattern.c_str());
    return 0;
  }
  if (!perPage && last > first)
    throw UsageError("several pages need %d in the output name, or --page");
  for (int n = first; n <= last; ++n)
    writeOne(format, nameFor(pattern, n), decodePage(path, n, asCoded));
  return 0;
}

} // namespace cli
