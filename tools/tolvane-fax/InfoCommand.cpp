// tolvane-fax info: the file header and every page's place, flags and rows.
#include "faximage/ApfFile.h"
#include "faximage/UnpackerEngine.h"
#include "platform/FxErrors.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"

#include <cstdio>

namespace cli {

using namespace faximage;

namespace {

std::string dosDateText(uint32_t d) {
  if (d == 0)
    return "none";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (d >> 25), (d >> 21) & 15,
                (d >> 16) & 31, (d >> 11) & 31, (d >> 5) & 63, (d & 31) * 2);
  return buf;
}

void describePage(UnpackerEngine& engine, const std::string& path, unsigned n) {
  ApfPageLocation loc;
  CheckFx(locateApfPage(path, n, loc));
  unsigned long rows = 0;
  engine.setOutputRoutine([&](bool, bool, const uint8_t*, int, int) { ++rows; });
  CheckFx(engine.unpackPage(path, int(n)));
  std::printf("Page %u: header at %llu, %u bytes of data, flags %u (%s, %d pixels%s)\n", n,
              (unsigned long long)(loc.dataOffset - kApfPageHeaderSize), loc.header.imageLength,
              loc.header.pageFlags, loc.header.fine() ? "fine" : "standard", loc.header.rowWidth(),
              loc.header.lengthWords() ? ", length words" : "");
  std::printf("        %lu rows, %lu invalid codes, %lu rows of wrong length\n", rows,
              engine.invalidCodes(), engine.droppedRows());
}

} // namespace

int infoCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args, {}, {});
  if (cl.positional().size() != 1)
    throw UsageError("info wants one APF file");
  const std::string& path = cl.positional()[0];
  ApfFileHeader header;
  CheckFx(readApfFileHeader(path, header));
  std::printf("File: %s\nStation ID: \"%s\"\nDate: %s\nPages: %u\nFirst page at: %u\n",
              path.c_str(), header.stationId().c_str(), dosDateText(header.fileDate).c_str(),
              header.pageCount, header.firstPageOffset);
  UnpackerEngine engine;
  engine.setOption(kUnpackAsCoded, true);
  for (unsigned n = 1; n <= header.pageCount; ++n)
    describePage(engine, path, n);
  return 0;
}

} // namespace cli
