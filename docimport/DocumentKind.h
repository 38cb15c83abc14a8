#pragma once
// Recognises a document by its first bytes, never by its name.

#include <cstddef>
#include <cstdint>
#include <string>

namespace docimport {

enum class DocumentKind {
  Unknown, // not recognised: read as plain text
  Pdf,
  Png,
  Jpeg,
  Tiff,
  Bmp,
  Pcx,
  Dcx,
  Apf,           // already a fax file
  WordProcessor, // RTF, OpenDocument, Office Open XML, Word 97
  Unsupported    // a recognised kind nobody here reads (GIF, ...)
};

DocumentKind detectKind(const uint8_t* head, std::size_t size);
// Reads the file's first bytes; throws ImportError when it cannot be read.
DocumentKind detectFileKind(const std::string& path);
const char* kindName(DocumentKind kind);
// "A PDF file", "An APF file", "An unsupported image file": the start of a
// sentence about such a file.
std::string aKindOfFile(DocumentKind kind);

} // namespace docimport
