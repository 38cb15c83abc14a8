#include "faximage/UnpackerInput.h"

#include "platform/FxErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace faximage {

namespace {

uint16_t le16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

} // namespace

uint16_t UnpackerInput::pageCount() const {
  return ApfFileHeader::fromBytes(m_fileHeader.data()).pageCount;
}
uint32_t UnpackerInput::imageLength() const {
  return ApfPageHeader::fromBytes(m_pageHeader.data()).imageLength;
}
uint16_t UnpackerInput::pageFlags() const {
  return ApfPageHeader::fromBytes(m_pageHeader.data()).pageFlags;
}

void UnpackerInput::close() {
  if (m_file)
    std::fclose(m_file);
  m_file = nullptr;
}

int UnpackerInput::openFile(const std::string& fileName) {
  close();
  if (fileName.empty())
    return ecFileNotFound;
  m_file = std::fopen(fileName.c_str(), "rb");
  if (!m_file)
    return IoErrorFromErrno(errno);
  const int rc = readExactly(m_fileHeader.data(), m_fileHeader.size());
  if (rc < 0)
    return rc;
  if (!isApfSignature(m_fileHeader.data(), m_fileHeader.size()))
    return ecFaxBadFormat;
  return ecOK;
}

int UnpackerInput::seekPage(int page) {
  if (page < 1 || page > pageCount())
    return ecFaxBadFormat;
  uint64_t position = ApfFileHeader::fromBytes(m_fileHeader.data()).firstPageOffset;
  for (int n = 1;; ++n) {
    if (fseeko(m_file, off_t(position), SEEK_SET) != 0)
      return IoErrorFromErrno(errno);
    const int rc = readExactly(m_pageHeader.data(), m_pageHeader.size());
    if (rc < 0)
      return rc;
    if (n == page)
      break;
    position += 16 + uint64_t(imageLength());
  }
  m_bytesRead = 0;
  return ecOK;
}

// Reads all of length or fails: -8001 at end of file, the I/O code otherwise.
int UnpackerInput::readExactly(void* buffer, std::size_t length) {
  if (std::fread(buffer, 1, length, m_file) == length)
    return ecOK;
  return std::ferror(m_file) ? IoErrorFromErrno(errno) : ecFaxBadFormat;
}

std::size_t UnpackerInput::readSome(uint8_t* buffer, std::size_t length, int& error) {
  const std::size_t got = std::fread(buffer, 1, length, m_file);
  error = got > 0 || length == 0 ? ecOK
          : std::ferror(m_file)  ? IoErrorFromErrno(errno)
                                 : ecFaxBadFormat;
  return got;
}

int UnpackerInput::nextBlock(const uint8_t*& data, std::size_t& length) {
  const uint32_t total = imageLength();
  if (m_bytesRead >= total)
    return 0;
  std::size_t want = std::min<std::size_t>(kBlockBytes, total - m_bytesRead);
  if (pageFlags() & PageFlagLengthWords) {
    if (total - m_bytesRead < 2)
      return 0; // a lone byte cannot hold a length word
    uint8_t word[2];
    const int rc = readExactly(word, 2);
    if (rc < 0)
      return rc;
    m_bytesRead += 2;
    // A record claiming more than the page holds is cut at the page's end.
    want = std::min<std::size_t>({le16(word), kBlockBytes, total - m_bytesRead});
  }
  int error = ecOK;
  length = readSome(m_block.data(), want, error);
  if (error < 0)
    return error;
  m_bytesRead += uint32_t(length);
  data = m_block.data();
  return 1;
}

} // namespace faximage
