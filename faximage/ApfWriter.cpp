#include "faximage/ApfWriter.h"

#include "platform/FxErrors.h"

#include <cstring>

namespace faximage {

int ApfWriter::create(const std::string& path) {
  abandon();
  if (int rc = m_file.create(path); rc < 0)
    return rc;
  m_path = path;
  m_used = 0;
  m_end = 0;
  m_pageStarted = false;
  m_header = ApfFileHeader::fresh();
  uint8_t bytes[kApfFileHeaderSize];
  m_header.toBytes(bytes);
  return put(bytes, sizeof bytes);
}

int ApfWriter::put(const void* data, std::size_t size) {
  auto* p = static_cast<const uint8_t*>(data);
  m_end += size;
  if (m_used + size <= kBufferSize) {
    std::memcpy(m_buffer + m_used, p, size);
    m_used += size;
    return ecOK;
  }
  // Top the buffer up to a full block, then write whole blocks directly.
  const std::size_t top = kBufferSize - m_used;
  std::memcpy(m_buffer + m_used, p, top);
  m_used = kBufferSize;
  if (int rc = flush(); rc < 0)
    return rc;
  p += top;
  size -= top;
  const std::size_t direct = size / kBufferSize * kBufferSize;
  if (direct)
    if (int rc = m_file.writeAll(p, direct); rc < 0)
      return rc;
  std::memcpy(m_buffer, p + direct, size - direct);
  m_used = size - direct;
  return ecOK;
}

int ApfWriter::flush() {
  if (m_used == 0)
    return ecOK;
  const int rc = m_file.writeAll(m_buffer, m_used);
  m_used = 0;
  return rc;
}

int ApfWriter::rewriteAt(uint64_t position, const uint8_t* data, std::size_t size) {
  if (int rc = flush(); rc < 0)
    return rc;
  if (int rc = m_file.seek(position); rc < 0)
    return rc;
  if (int rc = m_file.writeAll(data, size); rc < 0)
    return rc;
  return m_file.seek(m_end);
}

int ApfWriter::beginPage(uint16_t pageFlags) {
  m_pageStarted = true;
  m_pageHeaderPos = m_end;
  m_page = ApfPageHeader{0, pageFlags};
  uint8_t bytes[kApfPageHeaderSize];
  m_page.toBytes(bytes);
  return put(bytes, sizeof bytes);
}

int ApfWriter::writeRecord(const uint8_t* data, std::size_t size, uint16_t pageFlags) {
  if (!m_file.isOpen())
    return ecNotOpen;
  if (size > 4096)
    return ecBadArgument;
  if (!m_pageStarted)
    if (int rc = beginPage(pageFlags); rc < 0)
      return rc;
  const uint8_t word[2] = {uint8_t(size), uint8_t(size >> 8)};
  if (int rc = put(word, 2); rc < 0)
    return rc;
  m_page.imageLength += uint32_t(2 + size);
  return put(data, size);
}

int ApfWriter::endPage(uint16_t pageFlags) {
  // A page without rows still gets its own header, so the rewrite below can
  // only ever land on this page's header.
  if (int rc = writeRecord(kApfEndOfPage, sizeof kApfEndOfPage, pageFlags); rc < 0)
    return rc;
  m_header.pageCount = uint16_t(m_header.pageCount + 1);
  m_pageStarted = false;
  uint8_t bytes[kApfPageHeaderSize];
  m_page.toBytes(bytes);
  return rewriteAt(m_pageHeaderPos, bytes, sizeof bytes);
}

int ApfWriter::writePlainPage(uint16_t pageFlags, const uint8_t* data, std::size_t size) {
  if (!m_file.isOpen())
    return ecNotOpen;
  if (size > UINT32_MAX)
    return ecBadArgument;
  const ApfPageHeader page{uint32_t(size), uint16_t(pageFlags & ~PageFlagLengthWords)};
  uint8_t bytes[kApfPageHeaderSize];
  page.toBytes(bytes);
  if (int rc = put(bytes, sizeof bytes); rc < 0)
    return rc;
  if (int rc = put(data, size); rc < 0)
    return rc;
  m_header.pageCount = uint16_t(m_header.pageCount + 1);
  return ecOK;
}

int ApfWriter::finishWith(std::time_t when) {
  if (!m_file.isOpen())
    return ecNotOpen;
  m_header.fileDate = dosDateTime(when);
  uint8_t bytes[kApfFileHeaderSize];
  m_header.toBytes(bytes);
  const int rc = rewriteAt(0, bytes, sizeof bytes);
  if (rc < 0) {
    abandon();
    return rc;
  }
  m_file.close();
  m_path.clear();
  return ecOK;
}

int ApfWriter::finish(std::string_view stationId, std::time_t when) {
  m_header.setStationId(stationId);
  return finishWith(when);
}

int ApfWriter::finishPadded(std::string_view stationId, std::time_t when) {
  m_header.setStationIdPadded(stationId);
  return finishWith(when);
}

void ApfWriter::abandon() {
  if (!m_file.isOpen())
    return;
  m_file.close();
  removeFile(m_path);
  m_path.clear();
  m_used = 0;
}

} // namespace faximage
