#pragma once
// The conversion engine: reads an input document row by row through its
// reader, codes each row with Modified Huffman and writes an APF file with
// row records. Returns 0 or a negative error code; on failure no output file
// is left behind.

#include "faximage/ConvertTypes.h"
#include "faximage/ImageReaders.h"

#include <cstdint>
#include <functional>
#include <string>

namespace faximage {

struct ConvertSettings {
  TFaxInputDocumentType type = idNone;
  TFaxCvtOptionsSet options = coDoubleWidth | coCenterImage | coYield;
  TFaxResolution resolution = frNormal;
  TFaxWidth width = fwNormal;
  unsigned topMargin = 0;
  unsigned leftMargin = 50;
  unsigned linesPerPage = 60;
  unsigned tabStop = 4;
  TFaxFont font = ffStandard;
  std::string stationId;
  std::string defUserExtension;
};

struct ConvertEvents {
  // Progress and abort: set `abort` to stop the conversion (-8003).
  std::function<void(bool starting, bool ending, int pagesConverted, int linesConverted,
                     long bytesConverted, long bytesToConvert, bool& abort)>
      status;
  UserReaderCallbacks user; // idUser only
};

int convertToApf(const ConvertSettings& settings, const std::string& documentFile,
                 const std::string& outFileName, const ConvertEvents& events);

// File-name rules. An extension is the text after the last "." that comes
// after the last path separator.
bool hasExtension(const std::string& name);
std::string replaceExtension(const std::string& name, const std::string& extension);
// The input name with the reader's default extension when it has none.
std::string resolveInputName(const std::string& name, const std::string& defaultExtension);
// outFileName with ".APF" when it has no extension; empty: the input name with
// its extension replaced by ".APF".
std::string resolveOutputName(const std::string& outFileName, const std::string& inputName);

} // namespace faximage
