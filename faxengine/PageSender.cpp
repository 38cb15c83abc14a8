// Page data for sending: APF pages and text covers, blank lines and the
// header line at each page top, paced by output-space notifications.

#include "faxengine/PageSender.h"

#include "faxengine/StoredPageRows.h"
#include "faximage/MhEncoder.h"
#include "platform/FxErrors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>

namespace faxengine {

namespace {
constexpr uint8_t kBlankLine[6] = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00};
constexpr int kBlankLinesAtTop = 8;
constexpr int kCoverMargin = 48;
constexpr int kEcmFrameSize = 256;

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string TimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  return std::strftime(buf, sizeof buf, format, &tm) ? buf : "";
}

// A stored row starts with its EOL behind a whole byte of fill (0x00 0x80
// ...). When the byte sent before the row is 0x00 as well, that fill byte
// is not needed: of the zero byte before it at most 3 bits end the previous
// row's last code, so at least 5 + 7 zeros come before the EOL's 1 bit, where
// T.4 asks for 11. Leaving it out saves a byte of line time per row; with a
// minimum scan-line time rows keep their length.
bool LeadingFillSpare(const uint8_t* row, size_t n, bool zeroBefore, int minBytes) {
  return zeroBefore && minBytes == 0 && n >= 2 && row[0] == 0x00 && row[1] == 0x80;
}

void CloseFile(std::FILE*& f) {
  if (f)
    std::fclose(f);
  f = nullptr;
}
} // namespace

PageSender::PageSender(FaxSession& session) : m_session(session), m_rec(session.Rec()) {}

PageSender::~PageSender() {
  CloseAll();
}

void PageSender::CloseAll() {
  CloseFile(m_fax);
  CloseFile(m_cover);
  CloseFile(m_text);
  m_cur = nullptr;
  m_out.clear();
  m_outPos = 0;
  m_encoder.reset();
}

std::string PageSender::WithExtension(const std::string& name) const {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    return name;
  return name + "." + m_rec.faxFileExt;
}

int PageSender::OpenApf(const std::string& name, std::FILE*& f) {
  CloseFile(f);
  f = std::fopen(name.c_str(), "rb");
  if (!f)
    return IoErrorFromErrno(errno);
  uint8_t bytes[faximage::kApfFileHeaderSize];
  if (std::fread(bytes, 1, sizeof bytes, f) != sizeof bytes ||
      !faximage::isApfSignature(bytes, sizeof bytes)) {
    CloseFile(f);
    return ecFaxBadFormat;
  }
  const auto header = faximage::ApfFileHeader::fromBytes(bytes);
  m_firstPage = header.firstPageOffset;
  return header.pageCount;
}

int PageSender::OpenJob() {
  CloseAll();
  m_rec.filePageCount = 0;
  m_rec.coverPageCount = 0;
  m_rec.sendingCover = false;
  m_rec.pageNumber = 0;
  m_previousFine = -1;
  if (m_rec.faxFile.empty() && m_rec.coverFile.empty())
    return m_error = ecNoFilename;
  if (!m_rec.faxFile.empty()) {
    const int pages = OpenApf(WithExtension(m_rec.faxFile), m_fax);
    if (pages <= 0)
      return m_error = pages < 0 ? pages : ecFaxBadFormat;
    m_rec.filePageCount = pages;
  }
  return m_error = 0;
}

int PageSender::SeekPage(std::FILE* f, unsigned page) {
  const unsigned count = f == m_fax ? static_cast<unsigned>(m_rec.filePageCount) : 1u;
  if (!f || page < 1 || page > count || std::fseek(f, m_firstPage, SEEK_SET) != 0)
    return m_error = ecDiskRead;
  uint8_t bytes[faximage::kApfPageHeaderSize];
  for (unsigned n = 1;; ++n) {
    if (std::fread(bytes, 1, sizeof bytes, f) != sizeof bytes)
      return m_error = ecDiskRead;
    m_pageHeader = faximage::ApfPageHeader::fromBytes(bytes);
    if (n == page)
      break;
    if (std::fseek(f, static_cast<long>(m_pageHeader.imageLength), SEEK_CUR) != 0)
      return m_error = ecDiskRead;
  }
  m_remaining = static_cast<long>(m_pageHeader.imageLength);
  return 0;
}

void PageSender::CheckResolution() {
  const int fine = m_pageHeader.fine() ? 1 : 0;
  if (m_previousFine >= 0 && fine != m_previousFine) {
    // Reported, but the page is sent anyway: the call goes on.
    const int keep = m_rec.lastError;
    m_session.Error(ecFaxMixedResolution);
    m_rec.lastError = keep;
  }
  m_previousFine = fine;
}

int PageSender::PrepareFirstPage() {
  ProtocolRecord& proto = m_session.Proto();
  m_pageHeader = {};
  if (!m_rec.coverFile.empty()) {
    m_rec.coverPageCount = 1;
    m_rec.sendingCover = true;
    m_coverIsApf = Upper(m_rec.coverFile).find("." + Upper(m_rec.faxFileExt)) != std::string::npos;
  }
  if (m_fax) {
    if (int rc = SeekPage(m_fax, 1))
      return rc;
    m_filePage = 1;
    m_cur = m_fax;
  } else if (m_coverIsApf) {
    std::FILE* peek = nullptr;
    const int pages = OpenApf(m_rec.coverFile, peek);
    const int rc = pages <= 0 ? (pages < 0 ? pages : ecFaxBadFormat) : SeekPage(peek, 1);
    CloseFile(peek);
    if (rc)
      return m_error = rc;
  }
  CheckResolution();
  proto.wantFine = m_pageHeader.fine();
  proto.wantWide = m_pageHeader.wide();
  m_rec.pageNumber = 1;
  return 0;
}

HeaderValues PageSender::MacroValues() const {
  HeaderValues v;
  v.date = TimeText("%x");
  v.time = TimeText("%X");
  v.stationId = m_rec.stationID;
  v.sender = m_rec.headerSender;
  v.recipient = m_rec.headerRecipient;
  v.title = m_rec.headerTitle;
  v.totalPages = m_rec.filePageCount + m_rec.coverPageCount;
  v.pageNumber = m_rec.pageNumber;
  return v;
}

bool PageSender::Flush() {
  serial::ComPort& port = m_session.Port();
  while (m_outPos < m_out.size()) {
    const int space = port.outputSpace();
    if (space <= 0)
      return false;
    const size_t n = std::min(m_out.size() - m_outPos, static_cast<size_t>(space));
    if (port.sendBlock(m_out.data() + m_outPos, n) != 0)
      return false;
    m_outPos += n;
    m_rec.pageBytesDone += static_cast<long>(n);
  }
  if (!m_out.empty())
    m_sentZeroLast = m_out.back() == 0;
  m_out.clear();
  m_outPos = 0;
  return true;
}

void PageSender::QueueRow(const uint8_t* raster, int width) {
  if (m_encoder) {
    m_encoder->encodeRow(raster);
    return;
  }
  uint8_t record[faximage::kMaxRowRecord];
  faximage::RowLayout layout;
  layout.width = width;
  const size_t n = faximage::encodeRowRecord(raster, layout, record);
  AppendRowFilled(m_out, record, n, m_session.Proto().minBytesPerLine);
}

void PageSender::QueueText(const std::string& text, const faximage::FaxFontFace& font, int x0) {
  const int width = m_pageHeader.rowWidth();
  std::vector<uint8_t> raster(static_cast<size_t>(width / 8));
  for (int y = 0; y < font.cellHeight(); ++y) {
    std::fill(raster.begin(), raster.end(), 0);
    font.drawTextRow(reinterpret_cast<const uint8_t*>(text.data()), text.size(), y, raster.data(),
                     raster.size(), x0);
    QueueRow(raster.data(), width);
  }
}

void PageSender::StartEncoder(int width) {
  const ProtocolRecord& proto = m_session.Proto();
  // With error correction rows need no fill: the receiver prints from its
  // memory, not as the rows arrive.
  const int minBytes = proto.ecmFrames ? 0 : proto.minBytesPerLine;
  const faximage::CodingOptions options{proto.coding, faximage::mrK(m_pageHeader.fine()),
                                        static_cast<std::size_t>(minBytes) * 8};
  m_encoder = std::make_unique<faximage::PageEncoder>(width, options);
}

// The coded page, its end code included, goes to the port as it takes it.
void PageSender::QueueEncodedPage() {
  std::vector<uint8_t> page = m_encoder->finish();
  m_encoder.reset();
  m_rec.pageBytesTotal = static_cast<long>(page.size());
  if (!m_session.Proto().ecmFrames) {
    AppendDleDoubled(m_out, page.data(), page.size());
    return;
  }
  m_ecm.Set(std::move(page), kEcmFrameSize);
  QueueEcmBlock(nullptr);
}

void PageSender::QueueEcmBlock(const uint8_t* wanted) {
  const std::vector<uint8_t> stream = m_ecm.BlockStream(wanted);
  AppendDleDoubled(m_out, stream.data(), stream.size());
  m_remaining = 0; // nothing more is read from the file for this page
}

int PageSender::StartPage() {
  const int minBytes = m_session.Proto().minBytesPerLine;
  const int width = m_pageHeader.rowWidth();
  m_rec.pageBytesDone = 0;
  m_encoder.reset();
  if (m_session.Proto().coding != faximage::FaxCoding::Mh || m_session.Proto().ecmFrames)
    StartEncoder(width);
  const std::vector<uint8_t> blank(static_cast<size_t>(width / 8), 0);
  for (int i = 0; i < kBlankLinesAtTop; ++i) {
    if (m_encoder) {
      QueueRow(blank.data(), width);
    } else if (width == 1728) {
      m_out.insert(m_out.end(), kBlankLine, kBlankLine + sizeof kBlankLine);
      for (int n = 5; minBytes >= 7 && n < minBytes; ++n)
        m_out.push_back(0);
    } else {
      uint8_t record[16];
      const size_t n = faximage::encodeBlankRowRecord(width, record);
      AppendRowFilled(m_out, record, n, minBytes);
    }
  }
  // The blank lines and the header line go out in one block, so the modem
  // never waits for the header to be drawn: no fill bytes are queued around
  // it (each would cost line time on every page).
  if (!m_rec.headerLine.empty()) {
    const faximage::FaxFontFace font(faximage::kFaxFontSmall, m_pageHeader.fine());
    QueueText(ExpandHeaderMacros(m_rec.headerLine, MacroValues()), font, 0);
  }
  Flush();
  return 0;
}

int PageSender::OpenCover(bool& textCover) {
  textCover = !m_coverIsApf;
  if (m_coverIsApf) {
    const int pages = OpenApf(m_rec.coverFile, m_cover);
    if (pages <= 0)
      return m_error = pages < 0 ? pages : ecFaxBadFormat;
    m_cur = m_cover;
    return SeekPage(m_cover, 1);
  }
  CloseFile(m_text);
  m_text = std::fopen(m_rec.coverFile.c_str(), "rb");
  if (!m_text)
    return m_error = IoErrorFromErrno(errno);
  return 0;
}

int PageSender::BeginApfPage() {
  m_rec.pageBytesTotal = m_remaining;
  if (!m_encoder)
    return 0;
  if (int rc = EncodeStoredPage(m_cur, m_remaining, m_pageHeader.lengthWords(),
                                m_pageHeader.rowWidth(), *m_encoder))
    return m_error = rc;
  m_remaining = 0;
  QueueEncodedPage();
  return 0;
}

bool PageSender::Room() const {
  serial::ComPort& port = m_session.Port();
  return port.outputCount() <= m_rec.bufferMinimum && port.outputSpace() >= kDataBlock;
}

bool PageSender::ZeroQueuedLast() const {
  return m_out.empty() ? m_sentZeroLast : m_out.back() == 0;
}

int PageSender::ReadApfBlock() {
  uint8_t block[kDataBlock + 2];
  if (m_pageHeader.lengthWords()) {
    uint8_t len[2];
    if (m_remaining < 2 || std::fread(len, 1, 2, m_cur) != 2)
      return m_error = ecDiskRead;
    const size_t n = len[0] | (len[1] << 8);
    if (n > kDataBlock || static_cast<long>(n) > m_remaining - 2 ||
        std::fread(block, 1, n, m_cur) != n)
      return m_error = ecDiskRead;
    m_remaining -= static_cast<long>(n) + 2;
    const int minBytes = m_session.Proto().minBytesPerLine;
    const size_t skip = LeadingFillSpare(block, n, ZeroQueuedLast(), minBytes) ? 1 : 0;
    AppendRowFilled(m_out, block + skip, n - skip, minBytes);
    return 0;
  }
  // Plain pages go in half blocks, so a block with every byte doubled fits.
  const size_t n = static_cast<size_t>(std::min<long>(m_remaining, kDataBlock / 2));
  if (std::fread(block, 1, n, m_cur) != n)
    return m_error = ecDiskRead;
  m_remaining -= static_cast<long>(n);
  AppendDleDoubled(m_out, block, n);
  return 0;
}

PageSender::Progress PageSender::SendApfData() {
  for (int count = 0; count < std::max<int>(1, m_rec.maxSendCount); ++count) {
    if (!Flush() || !Room())
      return Progress::More;
    if (m_remaining <= 0)
      return Progress::PageDone;
    if (ReadApfBlock() != 0)
      return Progress::Failed;
  }
  return Flush() && m_remaining <= 0 ? Progress::PageDone : Progress::More;
}

PageSender::Progress PageSender::SendTextCoverData() {
  const faximage::FaxFontFace font(faximage::kFaxFontStandard, m_pageHeader.fine());
  const int perLine = (m_pageHeader.rowWidth() - 2 * kCoverMargin) / font.cellWidth();
  char buf[1024];
  while (Flush() && m_session.Port().outputSpace() > kDataBlock) {
    if (!std::fgets(buf, sizeof buf, m_text)) {
      if (!m_encoder)
        return Progress::PageDone;
      QueueEncodedPage(); // sent by the next calls, then the page is done
      continue;
    }
    std::string line(buf);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
      line.pop_back();
    for (char& c : line)
      if (static_cast<unsigned char>(c) < ' ')
        c = ' ';
    line = ExpandHeaderMacros(line, MacroValues());
    if (static_cast<int>(line.size()) > perLine)
      line.resize(static_cast<size_t>(perLine));
    QueueText(line, font, kCoverMargin);
  }
  return Progress::More;
}

bool PageSender::MorePages() const {
  return m_fax && (m_rec.sendingCover || static_cast<int>(m_filePage) < m_rec.filePageCount);
}

int PageSender::AdvancePage() {
  if (m_rec.sendingCover) {
    CloseFile(m_cover);
    CloseFile(m_text);
    m_rec.coverFile.clear();
    m_rec.sendingCover = false;
    m_filePage = 1;
  } else {
    ++m_filePage;
  }
  m_cur = m_fax;
  ++m_rec.pageNumber;
  if (int rc = SeekPage(m_fax, m_filePage))
    return rc;
  CheckResolution();
  return 0;
}

int PageSender::RestartPage() {
  m_encoder.reset();
  m_out.clear();
  m_outPos = 0;
  m_sentZeroLast = false;
  if (m_rec.sendingCover && m_text) {
    std::rewind(m_text);
    return 0;
  }
  return SeekPage(m_cur, m_cur == m_fax ? m_filePage : 1);
}

} // namespace faxengine
