#include "faximage/InputBuffer.h"

#include "platform/FxErrors.h"

#include <algorithm>
#include <cstring>

namespace faximage {

int InputBuffer::open(const std::string& path) {
  m_bufferStart = 0;
  m_pos = m_filled = 0;
  if (int rc = m_file.openRead(path); rc < 0)
    return rc;
  return m_file.size(m_fileSize);
}

int InputBuffer::seek(uint64_t position) {
  if (position >= m_bufferStart && position <= m_bufferStart + m_filled) {
    m_pos = std::size_t(position - m_bufferStart);
    return 0;
  }
  m_bufferStart = position;
  m_pos = m_filled = 0;
  return m_file.seek(position);
}

int InputBuffer::refillAndGet(uint8_t& byte, bool& eof) {
  m_bufferStart += m_filled;
  m_pos = m_filled = 0;
  if (int rc = m_file.read(m_buffer, kSize, m_filled); rc < 0)
    return rc;
  eof = m_filled == 0;
  if (!eof)
    byte = m_buffer[m_pos++];
  return 0;
}

int InputBuffer::read(uint8_t* data, std::size_t n) {
  while (n > 0) {
    if (m_pos == m_filled) {
      uint8_t byte = 0;
      bool eof = false;
      if (int rc = refillAndGet(byte, eof); rc < 0)
        return rc;
      if (eof)
        return ecDiskRead;
      --m_pos;
    }
    const std::size_t take = std::min(n, m_filled - m_pos);
    std::memcpy(data, m_buffer + m_pos, take);
    m_pos += take;
    data += take;
    n -= take;
  }
  return 0;
}

} // namespace faximage
