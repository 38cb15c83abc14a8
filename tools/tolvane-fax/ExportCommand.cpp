// tolvane-fax export: APF pages to PNG, PBM, TIFF or PDF files.
#include "faximage/ApfFile.h"
#include "faxexport/FaxExport.h"
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

std::string formatFor(const CommandLine& cl, const std::string& out) {
  std::string f = cl.has("format") ? cl.value("format") : extensionOf(out);
  if (f == "tif")
    f = "tiff";
  if (f != "png" && f != "pbm" && f != "tiff" && f != "pdf")
    throw UsageError("export writes png, pbm, tiff or pdf (give --format or a file extension)");
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
  else if (format == "tiff")
    faxexport::WriteTiff(out.tempPath(), 1, [&](int) { return page; });
  else
    faxexport::WritePdf(out.tempPath(), 1, [&](int) { return page; });
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
  const bool asCoded = cl.has("as-coded") || format == "tiff" || format == "pdf";
  if (!perPage && (format == "tiff" || format == "pdf")) {
    // One file of all pages, through the code the viewer window exports with.
    faxexport::ExportFax(path, first, last, pattern,
                         format == "pdf" ? faxexport::ExportFormat::Pdf
                                         : faxexport::ExportFormat::Tiff);
    std::printf("%s\n", pattern.c_str());
    return 0;
  }
  if (!perPage && last > first)
    throw UsageError("several pages need %d in the output name, or --page");
  for (int n = first; n <= last; ++n)
    writeOne(format, nameFor(pattern, n), faxexport::DecodeFaxPage(path, n, asCoded));
  return 0;
}

} // namespace cli
