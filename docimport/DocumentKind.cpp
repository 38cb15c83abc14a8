#include "docimport/DocumentKind.h"

#include "docimport/ImportTypes.h"
#include "platform/FxErrors.h"

#include <cstdio>
#include <cstring>

namespace docimport {

namespace {

bool startsWith(const uint8_t* head, std::size_t size, const char* magic, std::size_t n) {
  return size >= n && std::memcmp(head, magic, n) == 0;
}

// A PDF may have a few bytes of junk before its header; readers accept the
// header within the first kilobyte.
bool hasPdfHeader(const uint8_t* head, std::size_t size) {
  for (std::size_t i = 0; i + 5 <= size && i < 1024; ++i)
    if (std::memcmp(head + i, "%PDF-", 5) == 0)
      return true;
  return false;
}

// PCX: manufacturer 10, version 0..5, encoding 1, a sensible bit depth.
bool isPcx(const uint8_t* h, std::size_t size) {
  return size >= 128 && h[0] == 10 && h[1] <= 5 && h[2] == 1 &&
         (h[3] == 1 || h[3] == 2 || h[3] == 4 || h[3] == 8);
}

} // namespace

DocumentKind detectKind(const uint8_t* h, std::size_t size) {
  if (startsWith(h, size, "\x89PNG\r\n\x1a\n", 8))
    return DocumentKind::Png;
  if (startsWith(h, size, "\xff\xd8\xff", 3))
    return DocumentKind::Jpeg;
  if (startsWith(h, size, "II*\0", 4) || startsWith(h, size, "MM\0*", 4) ||
      startsWith(h, size, "II+\0", 4) || startsWith(h, size, "MM\0+", 4))
    return DocumentKind::Tiff;
  if (startsWith(h, size, "APF10\x1a", 6))
    return DocumentKind::Apf;
  if (startsWith(h, size, "BM", 2) && size >= 54)
    return DocumentKind::Bmp;
  if (startsWith(h, size, "\xb1\x68\xde\x3a", 4)) // 987654321 little-endian
    return DocumentKind::Dcx;
  if (startsWith(h, size, "{\\rtf", 5) || startsWith(h, size, "PK\3\4", 4) ||
      startsWith(h, size, "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8))
    return DocumentKind::WordProcessor;
  if (hasPdfHeader(h, size))
    return DocumentKind::Pdf;
  if (isPcx(h, size))
    return DocumentKind::Pcx;
  if (startsWith(h, size, "GIF8", 4) || startsWith(h, size, "RIFF", 4))
    return DocumentKind::Unsupported;
  return DocumentKind::Unknown;
}

DocumentKind detectFileKind(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    throw ImportError(ecFileNotFound, "File not found: " + path);
  uint8_t head[1024];
  const std::size_t got = std::fread(head, 1, sizeof head, f);
  const bool failed = std::ferror(f);
  std::fclose(f);
  if (failed)
    throw ImportError(ecDiskRead, "The file cannot be read: " + path);
  return detectKind(head, got);
}

const char* kindName(DocumentKind kind) {
  switch (kind) {
  case DocumentKind::Pdf:
    return "PDF";
  case DocumentKind::Png:
    return "PNG";
  case DocumentKind::Jpeg:
    return "JPEG";
  case DocumentKind::Tiff:
    return "TIFF";
  case DocumentKind::Bmp:
    return "BMP";
  case DocumentKind::Pcx:
    return "PCX";
  case DocumentKind::Dcx:
    return "DCX";
  case DocumentKind::Apf:
    return "APF";
  case DocumentKind::WordProcessor:
    return "word-processor document";
  case DocumentKind::Unsupported:
    return "unsupported image";
  default:
    return "text";
  }
}

std::string aKindOfFile(DocumentKind kind) {
  const std::string name = kindName(kind);
  const bool vowel = std::string("AEIOUaeiou").find(name.front()) != std::string::npos;
  return (vowel ? "An " : "A ") + name + " file";
}

} // namespace docimport
