#pragma once
// Sequential byte input through an 8192-byte buffer, for the image and text
// readers. Errors are negative runtime I/O codes.

#include "faximage/FxFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace faximage {

class InputBuffer {
public:
  static constexpr std::size_t kSize = 8192;

  int open(const std::string& path);
  void close() { m_file.close(); }
  uint64_t fileSize() const { return m_fileSize; }
  // Position of the next byte to be delivered.
  uint64_t position() const { return m_bufferStart + m_pos; }
  int seek(uint64_t position);

  // Next byte in `byte`; `eof` set (and 0 returned) at the end of the file.
  int get(uint8_t& byte, bool& eof) {
    if (m_pos < m_filled) {
      byte = m_buffer[m_pos++];
      eof = false;
      return 0;
    }
    return refillAndGet(byte, eof);
  }
  // Exactly n bytes or "Disk read error" (-100).
  int read(uint8_t* data, std::size_t n);
  bool atEnd() const { return position() >= m_fileSize; }

private:
  int refillAndGet(uint8_t& byte, bool& eof);

  FxFile m_file;
  uint64_t m_fileSize = 0;
  uint64_t m_bufferStart = 0;
  std::size_t m_pos = 0;
  std::size_t m_filled = 0;
  uint8_t m_buffer[kSize];
};

} // namespace faximage
