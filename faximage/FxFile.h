#pragma once
// A thin file handle whose operations return 0 or a negative runtime I/O
// code (platform/FxErrors.h), the convention of every fax image routine.

#include <cstddef>
#include <cstdint>
#include <string>

namespace faximage {

class FxFile {
public:
  FxFile() = default;
  ~FxFile() { close(); }
  FxFile(const FxFile&) = delete;
  FxFile& operator=(const FxFile&) = delete;
  FxFile(FxFile&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

  int openRead(const std::string& path);
  int openReadWrite(const std::string& path);
  // Created, or truncated when it exists.
  int create(const std::string& path);
  void close();
  bool isOpen() const { return m_fd >= 0; }

  // Reads up to n bytes; `got` tells how many (0 at end of file).
  int read(void* data, std::size_t n, std::size_t& got);
  // Reads exactly n bytes; a short read is "Disk read error" (-100).
  int readExact(void* data, std::size_t n);
  int writeAll(const void* data, std::size_t n);
  int seek(uint64_t position);
  int seekEnd(uint64_t& position);
  int position(uint64_t& position) const;
  int size(uint64_t& size) const;

private:
  int openWith(const std::string& path, int flags);
  int m_fd = -1;
};

// Deletes a file, ignoring a missing one.
void removeFile(const std::string& path);

} // namespace faximage
