// tolvane-fax convert: any document into an APF file. The kind is taken from
// the file's content: PDF, PNG, JPEG and TIFF files (every page), and
// word-processor files through LibreOffice, are read by the document import;
// text, BMP, PCX, DCX and simple one-page TIFF files by the converter's own
// readers.
#include "docimport/DocumentImport.h"
#include "faximage/UnpackerEngine.h"
#include "platform/FxErrors.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"
#include "tools/tolvane-fax/PageFiles.h"

#include <array>
#include <cstdio>

namespace cli {

namespace {

docimport::Halftone halftoneOption(const CommandLine& cl) {
  const std::string v = cl.value("halftone", "auto");
  if (v == "auto")
    return docimport::Halftone::Auto;
  if (v == "threshold")
    return docimport::Halftone::Threshold;
  if (v == "diffuse")
    return docimport::Halftone::Diffuse;
  throw UsageError("--halftone is auto, threshold or diffuse");
}

docimport::ImportOptions importOptions(const CommandLine& cl) {
  if (cl.has("fine") && cl.has("normal"))
    throw UsageError("--fine and --normal exclude each other");
  docimport::ImportOptions o;
  o.resolution = cl.has("fine")     ? docimport::FaxResolution::Fine
                 : cl.has("normal") ? docimport::FaxResolution::Normal
                                    : docimport::FaxResolution::Auto;
  o.wide = cl.has("wide");
  o.halftone = halftoneOption(cl);
  return o;
}

docimport::DesignReaderSettings designSettings(const CommandLine& cl) {
  docimport::DesignReaderSettings d;
  d.fine = cl.has("fine");
  d.wide = cl.has("wide");
  d.leftMargin = unsigned(cl.number("left", d.leftMargin, 0, 2047));
  d.topMargin = unsigned(cl.number("top", d.topMargin, 0, 10000));
  d.linesPerPage = unsigned(cl.number("lines-per-page", d.linesPerPage, 0, 100000));
  d.tabStop = unsigned(cl.number("tab", d.tabStop, 0, 144));
  const std::string font = cl.value("font", "standard");
  if (font != "standard" && font != "small")
    throw UsageError("--font is standard or small");
  d.smallFont = font == "small";
  return d;
}

} // namespace

int convertCommand(const std::vector<std::string>& args) {
  const CommandLine cl(
      args, {"type", "left", "top", "font", "lines-per-page", "tab", "station", "halftone"},
      {"fine", "normal", "wide"});
  if (cl.positional().size() != 2)
    throw UsageError("convert wants an input file and an output file");
  const std::string& input = cl.positional()[0];
  const std::string& output = cl.positional()[1];
  // --type is kept for scripts; only "text" changes anything: it reads a
  // file as text whatever its first bytes look like.
  const std::string type = cl.value("type", "");
  if (!type.empty() && type != "text" && type != "txt" && type != "tiff" && type != "tif" &&
      type != "pcx" && type != "dcx" && type != "bmp")
    throw UsageError("unknown document type " + type);
  docimport::DesignReaderSettings design = designSettings(cl);
  design.forceText = type == "text" || type == "txt";
  AtomicOutput out(output);
  docimport::convertDocument(input, out.tempPath(), importOptions(cl), design,
                             cl.value("station", ""));
  out.commit();
  std::array<uint8_t, 64> header{};
  faximage::UnpackerEngine engine;
  CheckFx(engine.readFileHeader(output, header));
  std::printf("%s: %d page(s)\n", output.c_str(), header[32] | header[33] << 8);
  return 0;
}

} // namespace cli
