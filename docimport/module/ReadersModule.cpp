// The document readers as a module of their own, loaded by the child process
// of an isolated import in programs that do not link the readers (the
// desktop program, whose start would otherwise load poppler, libtiff,
// libpng, libjpeg and everything they bring).

#include "docimport/DocumentImport.h"

extern "C" __attribute__((visibility("default"))) void
tolvane_import_pages(const std::string& path, const docimport::ImportOptions& options,
                     const docimport::PageSink& sink) {
  docimport::importPages(path, options, sink);
}
