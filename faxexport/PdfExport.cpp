// A PDF file with one page per fax page: each page is the fax image as a
// one-bit gray image (Flate compressed), drawn over the whole page, whose
// size in points follows from the image's pixels and resolution.
#include "faxexport/FaxExport.h"

#include "platform/FxErrors.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace faxexport {

namespace {

class PdfFile {
public:
  explicit PdfFile(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {
    if (!m_file)
      RaiseFxError(IoErrorFromErrno(errno ? errno : EIO, true));
  }
  ~PdfFile() {
    if (m_file)
      std::fclose(m_file);
  }
  PdfFile(const PdfFile&) = delete;
  PdfFile& operator=(const PdfFile&) = delete;

  void put(const std::string& text) { put(text.data(), text.size()); }
  void put(const void* data, std::size_t size) {
    if (size && std::fwrite(data, 1, size, m_file) != size)
      RaiseFxError(IoErrorFromErrno(errno ? errno : EIO, true));
    m_offset += size;
  }
  // Starts object n, remembering where it begins for the cross-reference table.
  void begin(int n) {
    if (int(m_offsets.size()) < n)
      m_offsets.resize(std::size_t(n), 0);
    m_offsets[std::size_t(n - 1)] = m_offset;
    put(std::to_string(n) + " 0 obj\n");
  }
  void finish() {
    const std::size_t xref = m_offset;
    std::string t = "xref\n0 " + std::to_string(m_offsets.size() + 1) + "\n0000000000 65535 f \n";
    char line[24];
    for (std::size_t off : m_offsets) {
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
      t += line;
    }
    t += "trailer\n<< /Size " + std::to_string(m_offsets.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    put(t);
    std::FILE* f = m_file;
    m_file = nullptr;
    if (std::ferror(f) || std::fclose(f) != 0)
      RaiseFxError(IoErrorFromErrno(errno ? errno : EIO, true));
  }

private:
  std::FILE* m_file;
  std::size_t m_offset = 0;
  std::vector<std::size_t> m_offsets;
};

std::vector<uint8_t> deflate(const std::vector<uint8_t>& bits) {
  uLongf size = compressBound(uLong(bits.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, bits.data(), uLong(bits.size()), 6) != Z_OK)
    RaiseFxError(ecOutOfMemory);
  out.resize(size);
  return out;
}

std::string points(int pixels, int dpi) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", pixels * 72.0 / (dpi > 0 ? dpi : 200));
  return text;
}

// Objects: 1 catalog, 2 page tree, then per page i: 3 + 3i page, 4 + 3i
// contents, 5 + 3i image.
void writePage(PdfFile& pdf, int i, const ExportPage& page) {
  const faximage::PageBitmap& bm = page.bitmap;
  const int pageObj = 3 + 3 * i;
  const std::string w = points(bm.width(), page.xDpi), h = points(bm.height(), page.yDpi);
  pdf.begin(pageObj);
  pdf.put("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h +
          "] /Resources << /XObject << /Im0 " + std::to_string(pageObj + 2) +
          " 0 R >> >> /Contents " + std::to_string(pageObj + 1) + " 0 R >>\nendobj\n");
  const std::string content = "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q\n";
  pdf.begin(pageObj + 1);
  pdf.put("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
          "endstream\nendobj\n");
  const std::vector<uint8_t> data = deflate(bm.bits());
  pdf.begin(pageObj + 2);
  pdf.put("<< /Type /XObject /Subtype /Image /Width " + std::to_string(bm.width()) + " /Height " +
          std::to_string(bm.height()) +
          " /ColorSpace /DeviceGray /BitsPerComponent 1 /Decode [1 0] /Filter /FlateDecode "
          "/Length " +
          std::to_string(data.size()) + " >>\nstream\n");
  pdf.put(data.data(), data.size());
  pdf.put("\nendstream\nendobj\n");
}

} // namespace

void WritePdf(const std::string& path, int count, const std::function<ExportPage(int)>& page) {
  PdfFile pdf(path);
  pdf.put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  pdf.begin(1);
  pdf.put("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  std::string kids;
  for (int i = 0; i < count; ++i)
    kids += std::to_string(3 + 3 * i) + " 0 R ";
  pdf.begin(2);
  pdf.put("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>\nendobj\n");
  for (int i = 0; i < count; ++i)
    writePage(pdf, i, page(i));
  pdf.finish();
}

} // namespace faxexport
