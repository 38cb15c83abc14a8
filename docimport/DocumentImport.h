#pragma once
// Any common document as fax pages: PDF, PNG, JPEG and TIFF through their
// libraries, word-processor files through LibreOffice, and the kinds the
// converter's own readers handle (text, BMP, PCX, DCX, simple TIFF) through
// those readers, so that their results stay what they were.
//
//   docimport::ImportOptions options;
//   docimport::convertDocument("letter.pdf", "letter.apf", options, "STATION");

#include "docimport/DocumentKind.h"
#include "docimport/ImportTypes.h"

#include <functional>
#include <string>

namespace docimport {

using PageSink = std::function<void(FaxPage&& page)>;

// True for the kinds importPages reads.
bool readsPages(DocumentKind kind);

// Every page of a PDF, PNG, JPEG or TIFF file (kind given or detected),
// scaled and turned black and white, handed to `sink` one at a time in this
// process. Throws ImportError.
void importPages(const std::string& path, const ImportOptions& options, const PageSink& sink);

// As importPages, but the file is decoded in a child process with its memory
// and processor time limited: a library that crashes or runs away on a
// hostile file ends the child, not the program, and gives an ImportError.
void importPagesIsolated(const std::string& path, const ImportOptions& options,
                         const PageSink& sink);

// Writes fax pages into an APF file. The file is removed unless finished.
class ApfPageWriter {
public:
  ApfPageWriter();
  ~ApfPageWriter();
  ApfPageWriter(const ApfPageWriter&) = delete;
  ApfPageWriter& operator=(const ApfPageWriter&) = delete;

  void create(const std::string& path); // throws ImportError
  void add(const FaxPage& page);        // throws ImportError
  void finish(const std::string& stationId);
  int pages() const;

private:
  struct Impl;
  Impl* m_impl;
};

// A document of any kind into an APF file; returns the number of pages.
// `textSettings` apply to the converter's own readers. Throws ImportError.
struct DesignReaderSettings {
  bool fine = false;
  bool wide = false;
  unsigned leftMargin = 50;
  unsigned topMargin = 0;
  unsigned linesPerPage = 60;
  unsigned tabStop = 4;
  bool smallFont = false;
  bool forceText = false; // read as text whatever the content
};
int convertDocument(const std::string& path, const std::string& apfPath,
                    const ImportOptions& options, const DesignReaderSettings& designSettings,
                    const std::string& stationId);

// The name a document is read from: the name as given when such a file
// exists, otherwise the name with `defaultExtension` when it has none.
std::string documentPath(const std::string& name, const std::string& defaultExtension);

} // namespace docimport
