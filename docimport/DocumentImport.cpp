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

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>

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
    throw ImportError(ecBadGraphicsFormat, aKindOfFile(kind) + " cannot be read as pages: " + path);
  }
}

FaxPage makeFaxPage(SourcePage& page, const ImportOptions& options, bool fine) {
  const FaxGrid grid = gridFor(options, fine);
  if (page.bilevel) {
    if (hasFaxColumns(page.bits.width(), page.xdpi, grid)) {
      // A fax page at normal resolution stays so unless fine is asked for.
      if (options.resolution == FaxResolution::Auto && page.ydpi > 0 && page.ydpi < 150)
        fine = false;
      return fitFaxColumns(page.bits, page.ydpi, gridFor(options, fine));
    }
    page.grey = greyFromBits(page.bits, page.xdpi, page.ydpi);
    page.bits = {};
  }
  if (page.atFaxGrid) { // drawn at the fax grid, turned already where needed
    faximage::PageBitmap bits;
    halftone(page.grey, options.halftone, bits);
    return centreOnPage(bits, grid);
  }
  const GreyImage& g = page.grey;
  if (turnsWide(g.width, g.height, g.xdpi, g.ydpi, grid))
    return fitGreyPage(turnQuarter(g), grid, options.halftone);
  return fitGreyPage(g, grid, options.halftone);
}

// How many pages are made at once: one per processor, at most four (each
// holds a page or two in memory).
int pageWorkers(int pages) {
  const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
  return std::clamp(std::min(cores, pages), 1, 4);
}

// Pages made by several workers, each reading the document through its own
// source (libraries keep per-document state), handed on in page order. A
// worker stays at most two rounds ahead of the pages handed on, so memory
// stays bounded however slowly the pages are taken.
class PageFlow {
public:
  PageFlow(int pages, int workers) : m_pages(pages), m_workers(workers) {}
  PageFlow(const PageFlow&) = delete;
  PageFlow& operator=(const PageFlow&) = delete;
  ~PageFlow() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& t : m_threads)
      t.join();
  }

  template <typename Make> void start(int worker, Make make) {
    m_threads.emplace_back([this, worker, make]() mutable {
      for (int i = worker; i < m_pages; i += m_workers) {
        if (!waitForRoom(i))
          return;
        try {
          FaxPage page = make(i);
          std::lock_guard lock(m_mutex);
          m_ready.emplace(i, std::move(page));
        } catch (...) {
          std::lock_guard lock(m_mutex);
          if (i < m_failedAt) {
            m_failedAt = i;
            m_failure = std::current_exception();
          }
          m_changed.notify_all();
          return;
        }
        m_changed.notify_all();
      }
    });
  }

  // Page `index`, once made; rethrows the failure of a page that failed.
  FaxPage take(int index) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_ready.count(index) || m_failedAt <= index; });
    if (m_failedAt <= index)
      std::rethrow_exception(m_failure);
    FaxPage page = std::move(m_ready.at(index));
    m_ready.erase(index);
    m_next = index + 1;
    lock.unlock();
    m_changed.notify_all();
    return page;
  }

private:
  bool waitForRoom(int index) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stop || index < m_next + 2 * m_workers; });
    return !m_stop;
  }

  const int m_pages, m_workers;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::map<int, FaxPage> m_ready;
  int m_next = 0;
  int m_failedAt = std::numeric_limits<int>::max();
  std::exception_ptr m_failure;
  bool m_stop = false;
  std::vector<std::thread> m_threads;
};

} // namespace

void importPages(const std::string& path, const ImportOptions& options, const PageSink& sink) {
  const DocumentKind kind = detectFileKind(path);
  const SourceLimits limits{options.maxPages, options.maxSourcePixels};
  std::shared_ptr<PageSource> first = openSource(path, kind, limits);
  const bool fine = options.resolution != FaxResolution::Normal;
  const FaxGrid grid = gridFor(options, fine);
  const int pages = options.firstPagesOnly > 0
                        ? std::min(options.firstPagesOnly, first->pageCount())
                        : first->pageCount();
  const int workers = pageWorkers(pages);
  if (workers == 1) {
    for (int i = 0; i < pages; ++i) {
      SourcePage page = first->readPage(i, grid);
      sink(makeFaxPage(page, options, fine));
    }
    return;
  }
  PageFlow flow(pages, workers);
  for (int w = 0; w < workers; ++w) {
    std::shared_ptr<PageSource> source = w == 0 ? first : nullptr;
    flow.start(w, [=, &options](int i) mutable {
      if (!source)
        source = openSource(path, kind, limits);
      SourcePage page = source->readPage(i, grid);
      return makeFaxPage(page, options, fine);
    });
  }
  for (int i = 0; i < pages; ++i)
    sink(flow.take(i));
}

struct ApfPageWriter::Impl {
  faximage::ApfWriter writer;
  std::array<uint8_t, faximage::kMaxRowRecord> coded{};
  // The record of an all-white row, coded once per width: most rows of a
  // document page are white and need only a look at their bytes.
  std::vector<uint8_t> whiteRow;
  std::vector<uint8_t> whiteRecord;
  int whiteWidth = 0;
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
  Impl& d = *m_impl;
  const std::size_t stride = page.bitmap.stride();
  if (d.whiteWidth != width) {
    d.whiteRow.assign(stride, 0);
    d.whiteRecord.resize(faximage::kMaxRowRecord);
    d.whiteRecord.resize(
        faximage::encodeRowRecord(d.whiteRow.data(), layout, d.whiteRecord.data()));
    d.whiteWidth = width;
  }
  for (int y = 0; y < page.bitmap.height(); ++y) {
    const uint8_t* row = page.bitmap.row(y);
    int rc = 0;
    if (std::memcmp(row, d.whiteRow.data(), stride) == 0) {
      rc = d.writer.writeRecord(d.whiteRecord.data(), d.whiteRecord.size(), flags);
    } else {
      const std::size_t n = faximage::encodeRowRecord(row, layout, d.coded.data());
      rc = d.writer.writeRecord(d.coded.data(), n, flags);
    }
    if (rc < 0)
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
    throw ImportError(ecBadGraphicsFormat, aKindOfFile(kind) + " cannot be converted: " + path);
  if (kind == DocumentKind::WordProcessor) {
    const OfficePdf pdf = convertWithOffice(path);
    return convertPages(pdf.path(), apfPath, options, stationId);
  }
  if (readsPages(kind) && !(kind == DocumentKind::Tiff && designTiffReaderTakes(path)))
    return convertPages(path, apfPath, options, stationId);
  return convertWithDesignReader(path, apfPath, kind, design, stationId);
}

} // namespace docimport
