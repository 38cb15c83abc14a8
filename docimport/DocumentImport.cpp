#include "docimport/DocumentImport.h"

#include "docimport/FaxFit.h"
#include "docimport/Halftone.h"
#include "docimport/OfficeConvert.h"
#include "docimport/PageSource.h"
#include "faximage/ApfWriter.h"
#include "faximage/ConvertEngine.h"
#include "faximage/MhEncoder.h"
#include "platform/FxErrors.h"

#include <tiffio.h>

#include <array>
#include <ctime>
#include <future>
#include <memory>
#include <sys/stat.h>

namespace docimport {

bool readsPages(DocumentKind kind) {
  return kind == DocumentKind::Pdf || kind == DocumentKind::Png || kind == DocumentKind::Jpeg ||
         kind == DocumentKind::Tiff;
}

namespace {

std::unique_ptr<PageSource> openSource(const std::string& path, DocumentKind kind,
                                       const SourceLimits& limits) {
  switch (kind) {
  case DocumentKind::Pdf:
    return openPdfSource(path, limits);
  case DocumentKind::Png:
    return openPngSource(path, limits);
  case DocumentKind::Jpeg:
    return openJpegSource(path, limits);
  case DocumentKind::Tiff:
    return openTiffSource(path, limits);
  default:
    throw ImportError(ecBadGraphicsFormat, std::string("A ") + kindName(kind) +
                                               " file cannot be read as pages: " + path);
  }
}

FaxPage makeFaxPage(SourcePage& page, const ImportOptions& options, bool fine) {
  if (page.bilevel) {
    if (hasFaxColumns(page.bits.width(), page.xdpi, gridFor(options, fine))) {
      // A fax page at normal resolution stays so unless fine is asked for.
      if (options.resolution == FaxResolution::Auto && page.ydpi > 0 && page.ydpi < 150)
        fine = false;
      return fitFaxColumns(page.bits, page.ydpi, gridFor(options, fine));
    }
    return fitGreyPage(greyFromBits(page.bits, page.xdpi, page.ydpi), gridFor(options, fine),
                       options.halftone);
  }
  if (page.atFaxGrid) {
    faximage::PageBitmap bits;
    halftone(page.grey, options.halftone, bits);
    return centreOnPage(bits, gridFor(options, fine));
  }
  return fitGreyPage(page.grey, gridFor(options, fine), options.halftone);
}

} // namespace

void importPages(const std::string& path, const ImportOptions& options, const PageSink& sink) {
  const DocumentKind kind = detectFileKind(path);
  std::unique_ptr<PageSource> source =
      openSource(path, kind, SourceLimits{options.maxPages, options.maxSourcePixels});
  const bool fine = options.resolution != FaxResolution::Normal;
  const int pages = options.firstPagesOnly > 0
                        ? std::min(options.firstPagesOnly, source->pageCount())
                        : source->pageCount();
  // While one page is scaled and halftoned, the library decodes the next:
  // the two halves of the work take about as long as each other.
  std::future<FaxPage> made;
  for (int i = 0; i < pages; ++i) {
    auto page = std::make_shared<SourcePage>(source->readPage(i, gridFor(options, fine)));
    if (made.valid())
      sink(made.get());
    made = std::async(std::launch::async,
                      [page, &options, fine] { return makeFaxPage(*page, options, fine); });
  }
  if (made.valid())
    sink(made.get());
}

struct ApfPageWriter::Impl {
  faximage::ApfWriter writer;
  std::array<uint8_t, faximage::kMaxRowRecord> coded{};
};

ApfPageWriter::ApfPageWriter() : m_impl(new Impl) {}
ApfPageWriter::~ApfPageWriter() {
  delete m_impl;
}

void ApfPageWriter::create(const std::string& path) {
  if (int rc = m_impl->writer.create(path); rc < 0)
    throw ImportError(rc, "The fax file cannot be created: " + path);
}

void ApfPageWriter::add(const FaxPage& page) {
  const int width = page.bitmap.width();
  const uint16_t flags =
      uint16_t(faximage::PageFlagLengthWords | (page.fine ? faximage::PageFlagFine : 0) |
               (width == 2048 ? faximage::PageFlagWide : 0));
  const faximage::RowLayout layout{width, 0, false};
  for (int y = 0; y < page.bitmap.height(); ++y) {
    const std::size_t n =
        faximage::encodeRowRecord(page.bitmap.row(y), layout, m_impl->coded.data());
    if (int rc = m_impl->writer.writeRecord(m_impl->coded.data(), n, flags); rc < 0)
      throw ImportError(rc, "The fax file cannot be written.");
  }
  if (int rc = m_impl->writer.endPage(flags); rc < 0)
    throw ImportError(rc, "The fax file cannot be written.");
}

void ApfPageWriter::finish(const std::string& stationId) {
  if (int rc = m_impl->writer.finish(stationId, std::time(nullptr)); rc < 0)
    throw ImportError(rc, "The fax file cannot be written.");
}

int ApfPageWriter::pages() const {
  return m_impl->writer.pageCount();
}

std::string documentPath(const std::string& name, const std::string& defaultExtension) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    return name;
  return faximage::resolveInputName(name, defaultExtension);
}

namespace {

// The converter's TIFF reader takes the first page of a black-and-white
// file that is uncompressed or PackBits; such a file of one page keeps going
// to it. Every other TIFF is read by libtiff.
bool designTiffReaderTakes(const std::string& path) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif)
    return false;
  uint16_t compression = 0, bps = 1, spp = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  const bool onePage = TIFFNumberOfDirectories(tif) == 1;
  TIFFClose(tif);
  return onePage && bps == 1 && spp == 1 &&
         (compression == COMPRESSION_NONE || compression == COMPRESSION_PACKBITS);
}

faximage::TFaxInputDocumentType designType(DocumentKind kind) {
  switch (kind) {
  case DocumentKind::Bmp:
    return faximage::idBmp;
  case DocumentKind::Pcx:
    return faximage::idPcx;
  case DocumentKind::Dcx:
    return faximage::idDcx;
  case DocumentKind::Tiff:
    return faximage::idTiff;
  default:
    return faximage::idText;
  }
}

int convertWithDesignReader(const std::string& path, const std::string& apfPath, DocumentKind kind,
                            const DesignReaderSettings& d, const std::string& stationId) {
  faximage::ConvertSettings s;
  s.type = designType(kind);
  s.resolution = d.fine ? faximage::frHigh : faximage::frNormal;
  s.width = d.wide ? faximage::fwWide : faximage::fwNormal;
  s.leftMargin = d.leftMargin;
  s.topMargin = d.topMargin;
  s.linesPerPage = d.linesPerPage;
  s.tabStop = d.tabStop;
  s.font = d.smallFont ? faximage::ffSmall : faximage::ffStandard;
  s.stationId = stationId;
  s.options &= ~unsigned(faximage::coYield);
  if (int rc = faximage::convertToApf(s, path, apfPath, {}); rc < 0)
    throw ImportError(rc, ErrorText(rc) + ": " + path);
  return -1; // the caller reads the page count from the file
}

int convertPages(const std::string& path, const std::string& apfPath, const ImportOptions& options,
                 const std::string& stationId) {
  ApfPageWriter writer;
  writer.create(apfPath);
  importPagesIsolated(path, options, [&](FaxPage&& page) { writer.add(page); });
  writer.finish(stationId);
  return writer.pages();
}

} // namespace

int convertDocument(const std::string& name, const std::string& apfPath,
                    const ImportOptions& options, const DesignReaderSettings& design,
                    const std::string& stationId) {
  const std::string path = documentPath(name, "TXT");
  const DocumentKind kind = design.forceText ? DocumentKind::Unknown : detectFileKind(path);
  if (kind == DocumentKind::Unsupported || kind == DocumentKind::Apf)
    throw ImportError(ecBadGraphicsFormat,
                      std::string("A ") + kindName(kind) + " file cannot be converted: " + path);
  if (kind == DocumentKind::WordProcessor) {
    const OfficePdf pdf = convertWithOffice(path);
    return convertPages(pdf.path(), apfPath, options, stationId);
  }
  if (readsPages(kind) && !(kind == DocumentKind::Tiff && designTiffReaderTakes(path)))
    return convertPages(path, apfPath, options, stationId);
  return convertWithDesignReader(path, apfPath, kind, design, stationId);
}

} // namespace docimport
