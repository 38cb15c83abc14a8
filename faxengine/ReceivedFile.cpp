// Received APF files and their default names.

#include "faxengine/ReceivedFile.h"

#include "faximage/PageDecoder.h"
#include "faximage/PageEncoder.h"
#include "platform/FxErrors.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace faxengine {

namespace {
bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}
} // namespace

std::string DefaultReceiveName(const std::string& destinationDir, const std::string& ext,
                               int namingMode) {
  if (namingMode != 1 && namingMode != 2)
    return "noname.apf";
  std::string dir = destinationDir;
  if (!dir.empty() && dir.back() != '/' && dir.back() != ':')
    dir += '/';
  std::string prefix = "FAX";
  if (namingMode == 2) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char md[32];
    std::snprintf(md, sizeof md, "%02d%02d", tm.tm_mon + 1, tm.tm_mday);
    prefix = md;
  }
  for (int n = 1; n <= 9999; ++n) {
    char num[8];
    std::snprintf(num, sizeof num, "%04d", n);
    std::string name = dir + prefix + num + "." + ext;
    if (!FileExists(name))
      return name;
  }
  return dir + "NONAME.APF";
}

int ReceivedFile::Create(const std::string& path, const std::string& remoteId) {
  Close();
  m_file = std::fopen(path.c_str(), "w+b");
  if (!m_file)
    return IoErrorFromErrno(errno, true);
  m_path = path;
  m_header = faximage::ApfFileHeader::fresh();
  m_header.fileDate = faximage::dosDateTime(std::time(nullptr));
  m_header.setStationId(remoteId);
  uint8_t bytes[faximage::kApfFileHeaderSize];
  m_header.toBytes(bytes);
  m_pageOpen = false;
  m_used = 0;
  return WriteAt(0, bytes, sizeof bytes);
}

int ReceivedFile::WriteAt(long offset, const uint8_t* data, std::size_t size) {
  if (std::fseek(m_file, offset, SEEK_SET) != 0)
    return ecDeviceWrite;
  if (std::fwrite(data, 1, size, m_file) != size)
    return ecDeviceWrite;
  return 0;
}

int ReceivedFile::StartPage(bool fine, bool wide, faximage::FaxCoding coding) {
  if (!m_file)
    return ecNotOpen;
  std::fseek(m_file, 0, SEEK_END);
  m_pageHeaderPos = std::ftell(m_file);
  m_pageFlags = static_cast<uint16_t>((fine ? faximage::PageFlagFine : 0) |
                                      (wide ? faximage::PageFlagWide : 0));
  faximage::ApfPageHeader ph;
  ph.pageFlags = m_pageFlags;
  uint8_t bytes[faximage::kApfPageHeaderSize];
  ph.toBytes(bytes);
  m_pageBytes = 0;
  m_used = 0;
  m_pageOpen = true;
  m_coding = coding;
  m_coded.clear();
  m_badRows = 0;
  m_rows = 0;
  m_lostRuns = 0;
  m_rtc.Reset();
  return WriteAt(m_pageHeaderPos, bytes, sizeof bytes);
}

int ReceivedFile::FlushBuffer() {
  m_coded.insert(m_coded.end(), m_buffer, m_buffer + m_used);
  m_used = 0;
  return 0;
}

int ReceivedFile::Put(const uint8_t* data, std::size_t size, bool reverseBits) {
  if (!m_pageOpen)
    return ecNotOpen;
  if (m_coding == faximage::FaxCoding::Mmr) {
    // T.6 pages end with EOFB, not RTC, and are kept whole for re-coding.
    for (std::size_t i = 0; i < size; ++i)
      m_coded.push_back(reverseBits ? ReverseBits(data[i]) : data[i]);
    return 0;
  }
  for (std::size_t i = 0; i < size && !m_rtc.Found(); ++i) {
    uint8_t b = reverseBits ? ReverseBits(data[i]) : data[i];
    if (const int last = m_rtc.Feed(b); last >= 0 && last < 7)
      b &= static_cast<uint8_t>((2u << last) - 1);
    m_buffer[m_used++] = b;
    if (m_used == sizeof m_buffer) {
      if (int rc = FlushBuffer())
        return rc;
    }
  }
  return 0;
}

int ReceivedFile::FinishPage(const std::string& remoteId) {
  if (!m_pageOpen)
    return 0;
  int rc = FlushBuffer();
  if (!rc)
    rc = StorePage();
  m_pageOpen = false;
  if (rc)
    return rc;
  ++m_header.pageCount;
  m_header.setStationId(remoteId);
  m_header.fileDate = faximage::dosDateTime(std::time(nullptr));
  uint8_t bytes[faximage::kApfFileHeaderSize];
  m_header.toBytes(bytes);
  if ((rc = WriteAt(0, bytes, sizeof bytes)))
    return rc;
  faximage::ApfPageHeader ph;
  ph.imageLength = static_cast<uint32_t>(m_pageBytes);
  ph.pageFlags = m_pageFlags;
  uint8_t pbytes[faximage::kApfPageHeaderSize];
  ph.toBytes(pbytes);
  if ((rc = WriteAt(m_pageHeaderPos, pbytes, sizeof pbytes)))
    return rc;
  return std::fflush(m_file) == 0 ? 0 : ecDeviceWrite;
}

// The page is decoded whatever its coding, so that rows spoilt on the line
// are counted. An MH page that decodes whole is stored as it came; any
// other (one with data lost, too) is stored re-coded to MH, its bad rows
// replaced by the row above them (as the decoder leaves them), so that
// every reader of the file finds whole rows.
int ReceivedFile::StorePage() {
  const int width = (m_pageFlags & faximage::PageFlagWide) ? 2048 : 1728;
  const faximage::DecodedPage page =
      faximage::decodePage(m_coded.data(), m_coded.size(), m_coding, width);
  m_badRows = page.badRows + m_lostRuns;
  m_rows = page.page.height();
  std::vector<uint8_t> recoded;
  const std::vector<uint8_t>* out = &m_coded;
  if (m_coding != faximage::FaxCoding::Mh || m_badRows > 0) {
    recoded = faximage::encodePage(page.page, {faximage::FaxCoding::Mh, 1, 0});
    out = &recoded;
  }
  std::fseek(m_file, 0, SEEK_END);
  const std::size_t n = std::fwrite(out->data(), 1, out->size(), m_file);
  m_pageBytes += static_cast<long>(n);
  const bool whole = n == out->size();
  m_coded.clear();
  return whole ? 0 : ecDeviceWrite;
}

int ReceivedFile::DropPage() {
  if (!m_pageOpen)
    return 0;
  m_used = 0;
  m_coded.clear();
  m_pageOpen = false;
  std::fflush(m_file);
  if (::ftruncate(fileno(m_file), m_pageHeaderPos) != 0)
    return IoErrorFromErrno(errno, true);
  return std::fseek(m_file, m_pageHeaderPos, SEEK_SET) == 0 ? 0 : ecDeviceWrite;
}

void ReceivedFile::Close() {
  if (m_file)
    std::fclose(m_file);
  m_file = nullptr;
  m_pageOpen = false;
  m_used = 0;
}

} // namespace faxengine
