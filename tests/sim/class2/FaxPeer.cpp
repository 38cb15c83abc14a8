#include "tests/sim/class2/FaxPeer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

#include <spandsp.h>
#include <tiffio.h>

namespace tolvane::sim::test {

std::string tempFile(const std::string& name) {
  static int counter = 0;
  return (std::filesystem::temp_directory_path() /
          ("sim2-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" + name))
      .string();
}

Page makeTestPage(int width, int rows, int seed) {
  Page page;
  size_t bytes = static_cast<size_t>((width + 7) / 8);
  for (int y = 0; y < rows; ++y) {
    mh::Row row(bytes, 0);
    // bars of varying width and offset, some rows white, one black edge
    if (y % 7 != 3) {
      for (int x = (y * 13 + seed * 29) % 97; x < width; x += 37 + (y + seed) % 11) {
        int len = 1 + (x + y + seed) % 23;
        for (int i = x; i < std::min(width, x + len); ++i)
          row[static_cast<size_t>(i) / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
      }
    }
    if (y == rows / 2)
      std::fill(row.begin(), row.end(), 0xFF);
    page.push_back(row);
  }
  return page;
}

void writeTiff(const std::string& path, const std::vector<Page>& pages, int width, bool fine) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif)
    throw std::runtime_error("cannot write " + path);
  for (size_t p = 0; p < pages.size(); ++p) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(pages[p].size()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tif, TIFFTAG_T4OPTIONS, 0);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, fine ? 196.0f : 98.0f);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(pages[p].size()));
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p),
                 static_cast<uint16_t>(pages.size()));
    for (size_t y = 0; y < pages[p].size(); ++y) {
      mh::Row row = pages[p][y];
      TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
}

std::vector<Page> readTiff(const std::string& path) {
  std::vector<Page> pages;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif)
    return pages;
  do {
    uint32_t width = 0, length = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
    Page page;
    std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tif)));
    for (uint32_t y = 0; y < length; ++y) {
      if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
        break;
      page.emplace_back(line.begin(), line.begin() + (width + 7) / 8);
    }
    pages.push_back(std::move(page));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return pages;
}

Page decodeWithLibtiff(const std::vector<uint8_t>& mh, int width, int rows, bool msbFirst) {
  std::string path = tempFile("decode.tif");
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(tif, TIFFTAG_T4OPTIONS, 0);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_FILLORDER, msbFirst ? FILLORDER_MSB2LSB : FILLORDER_LSB2MSB);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
  TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(mh.data()), static_cast<tmsize_t>(mh.size()));
  TIFFWriteDirectory(tif);
  TIFFClose(tif);
  std::vector<Page> pages = readTiff(path);
  std::remove(path.c_str());
  return pages.empty() ? Page{} : pages[0];
}

FaxBench::FaxBench(Class2Dialect dialect, Remote remote, const std::string& remoteFile,
                   Class2Options options)
    : m_modem(dialect, std::move(options),
              Class2Modem::Host{[this](const uint8_t* d, size_t n) {
                                  m_out.append(reinterpret_cast<const char*>(d), n);
                                },
                                [this](std::string_view number) {
                                  m_dialled = std::string(number);
                                  if (dialOutcome != Class2Modem::Event::Connected) {
                                    m_modem.callEvent(dialOutcome);
                                    return;
                                  }
                                  m_lineUp = true;
                                  m_modem.callEvent(Class2Modem::Event::Connected);
                                },
                                [this]() {
                                  m_lineUp = true;
                                  m_modem.callEvent(Class2Modem::Event::Answered);
                                },
                                [this]() { m_hungUp = true; }}),
      m_remote(remote), m_remoteFile(remoteFile) {
  if (remote == Remote::Silent)
    return;
  m_fax = fax_init(nullptr, remote == Remote::Sender ? 1 : 0);
  t30_state_t* t30 = fax_get_t30_state(m_fax);
  fax_set_transmit_on_idle(m_fax, 1);
  t30_set_tx_ident(t30, "REMOTE 555");
  t30_set_ecm_capability(t30, 0);
  t30_set_supported_compressions(t30,
                                 T30_SUPPORT_T4_1D_COMPRESSION | T30_SUPPORT_T4_2D_COMPRESSION);
  t30_set_supported_resolutions(t30, T30_SUPPORT_STANDARD_RESOLUTION | T30_SUPPORT_FINE_RESOLUTION);
  t30_set_supported_image_sizes(t30, T30_SUPPORT_215MM_WIDTH | T30_SUPPORT_255MM_WIDTH |
                                         T30_SUPPORT_UNLIMITED_LENGTH | T30_SUPPORT_A4_LENGTH |
                                         T30_SUPPORT_B4_LENGTH);
  if (getenv("SIM2_TRACE")) { // T.30 trace of the far end, for debugging
    span_log_set_level(t30_get_logging_state(t30),
                       static_cast<int>(SPAN_LOG_SHOW_TAG) | static_cast<int>(SPAN_LOG_FLOW));
    span_log_set_tag(t30_get_logging_state(t30), "REMOTE");
  }
  if (remote == Remote::Sender)
    t30_set_tx_file(t30, remoteFile.c_str(), -1, -1);
  else
    t30_set_rx_file(t30, remoteFile.c_str(), -1);
  t30_set_phase_e_handler(
      t30,
      [](t30_state_t*, void* user, int code) {
        auto* self = static_cast<FaxBench*>(user);
        self->m_done = true;
        self->m_completion = code;
      },
      this);
}

FaxBench::~FaxBench() {
  if (m_fax)
    fax_free(m_fax);
}

std::string FaxBench::takeOutput() {
  std::string s = m_out.substr(m_read);
  m_read = m_out.size();
  return s;
}

void FaxBench::step() {
  // After the modem hangs up the remote hears silence and finishes alone.
  int16_t toRemote[160] = {0}, toModem[160] = {0};
  bool through = m_lineUp && !m_hungUp;
  if (through)
    m_modem.tx(toRemote, 160);
  if (m_fax && m_lineUp)
    fax_tx(m_fax, toModem, 160);
  if (!through)
    std::fill(std::begin(toModem), std::end(toModem), 0);
  m_modem.rx(toModem, 160);
  if (m_fax && m_lineUp)
    fax_rx(m_fax, toRemote, 160);
}

bool FaxBench::waitFor(const std::string& text, double seconds) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (m_out.find(text, m_read) != std::string::npos)
      return true;
    step();
  }
  return m_out.find(text, m_read) != std::string::npos;
}

void FaxBench::run(double seconds) {
  for (int i = 0; i < seconds * 50; ++i)
    step();
}

void FaxBench::sendData(const std::vector<uint8_t>& bytes) {
  m_modem.dteData(bytes.data(), bytes.size());
}

} // namespace tolvane::sim::test
