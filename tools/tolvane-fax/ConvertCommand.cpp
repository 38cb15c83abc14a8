// tolvane-fax convert: a text, TIFF, PCX, DCX or BMP document into an APF file.
#include "faximage/FaxConverter.h"
#include "faximage/UnpackerEngine.h"
#include "platform/FxErrors.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"
#include "tools/tolvane-fax/PageFiles.h"

#include <cstdio>

namespace cli {

using namespace faximage;

namespace {

TFaxInputDocumentType documentType(const std::string& name) {
  if (name == "text" || name == "txt")
    return idText;
  if (name == "tiff" || name == "tif")
    return idTiff;
  if (name == "pcx")
    return idPcx;
  if (name == "dcx")
    return idDcx;
  if (name == "bmp")
    return idBmp;
  throw UsageError("unknown document type " + name);
}

TFaxInputDocumentType typeFor(const CommandLine& cl, const std::string& input) {
  if (cl.has("type"))
    return documentType(cl.value("type"));
  const std::string ext = extensionOf(input);
  return ext == "tif" || ext == "tiff" || ext == "pcx" || ext == "dcx" || ext == "bmp"
             ? documentType(ext)
             : idText;
}

void applyOptions(const CommandLine& cl, TFxFaxConverter& c) {
  c.setResolution(cl.has("fine") ? frHigh : frNormal);
  c.setWidth(cl.has("wide") ? fwWide : fwNormal);
  c.setLeftMargin(unsigned(cl.number("left", c.LeftMargin(), 0, 2047)));
  c.setTopMargin(unsigned(cl.number("top", c.TopMargin(), 0, 10000)));
  c.setLinesPerPage(unsigned(cl.number("lines-per-page", c.LinesPerPage(), 0, 100000)));
  c.setTabStop(unsigned(cl.number("tab", c.TabStop(), 0, 144)));
  const std::string font = cl.value("font", "standard");
  if (font != "standard" && font != "small")
    throw UsageError("--font is standard or small");
  c.setFontType(font == "small" ? ffSmall : ffStandard);
  if (cl.has("station"))
    c.setStationID(cl.value("station"));
}

} // namespace

int convertCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args, {"type", "left", "top", "font", "lines-per-page", "tab", "station"},
                       {"fine", "wide"});
  if (cl.positional().size() != 2)
    throw UsageError("convert wants an input file and an output file");
  const std::string& input = cl.positional()[0];
  const std::string& output = cl.positional()[1];
  TFxFaxConverter converter;
  converter.setInputDocumentType(typeFor(cl, input));
  converter.setDocumentFile(input);
  applyOptions(cl, converter);
  AtomicOutput out(output);
  converter.setOutFileName(out.tempPath());
  converter.ConvertDocument();
  out.commit();
  std::array<uint8_t, 64> header{};
  UnpackerEngine engine;
  CheckFx(engine.readFileHeader(output, header));
  std::printf("%s: %d page(s)\n", output.c_str(), header[32] | header[33] << 8);
  return 0;
}

} // namespace cli
