#include "faximage/FxFile.h"

#include "platform/FxErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faximage {

int FxFile::openWith(const std::string& path, int flags) {
  close();
  if (path.empty())
    return ecFileNotFound;
  do {
    m_fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (m_fd < 0 && errno == EINTR);
  if (m_fd < 0)
    return IoErrorFromErrno(errno, (flags & O_ACCMODE) != O_RDONLY);
  struct stat st {};
  if (::fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close();
    return ecAccessDenied;
  }
  return ecOK;
}

int FxFile::openRead(const std::string& path) {
  return openWith(path, O_RDONLY);
}
int FxFile::openReadWrite(const std::string& path) {
  return openWith(path, O_RDWR);
}
int FxFile::create(const std::string& path) {
  return openWith(path, O_RDWR | O_CREAT | O_TRUNC);
}

void FxFile::close() {
  if (m_fd >= 0)
    ::close(m_fd);
  m_fd = -1;
}

int FxFile::read(void* data, std::size_t n, std::size_t& got) {
  got = 0;
  if (m_fd < 0)
    return ecNotOpen;
  auto* p = static_cast<uint8_t*>(data);
  while (got < n) {
    const ssize_t r = ::read(m_fd, p + got, n - got);
    if (r < 0 && errno == EINTR)
      continue;
    if (r < 0)
      return IoErrorFromErrno(errno, false);
    if (r == 0)
      break;
    got += std::size_t(r);
  }
  return ecOK;
}

int FxFile::readExact(void* data, std::size_t n) {
  std::size_t got = 0;
  if (int rc = read(data, n, got); rc < 0)
    return rc;
  return got == n ? ecOK : ecDiskRead;
}

int FxFile::writeAll(const void* data, std::size_t n) {
  if (m_fd < 0)
    return ecNotOpen;
  auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t r = ::write(m_fd, p, n);
    if (r < 0 && errno == EINTR)
      continue;
    if (r < 0)
      return IoErrorFromErrno(errno, true);
    p += r;
    n -= std::size_t(r);
  }
  return ecOK;
}

int FxFile::seek(uint64_t position) {
  if (m_fd < 0)
    return ecNotOpen;
  if (position > uint64_t(INT64_MAX) || ::lseek(m_fd, off_t(position), SEEK_SET) < 0)
    return ecDiskRead;
  return ecOK;
}

int FxFile::seekEnd(uint64_t& position) {
  if (m_fd < 0)
    return ecNotOpen;
  const off_t r = ::lseek(m_fd, 0, SEEK_END);
  if (r < 0)
    return IoErrorFromErrno(errno, false);
  position = uint64_t(r);
  return ecOK;
}

int FxFile::position(uint64_t& position) const {
  if (m_fd < 0)
    return ecNotOpen;
  const off_t r = ::lseek(m_fd, 0, SEEK_CUR);
  if (r < 0)
    return IoErrorFromErrno(errno, false);
  position = uint64_t(r);
  return ecOK;
}

int FxFile::size(uint64_t& size) const {
  if (m_fd < 0)
    return ecNotOpen;
  struct stat st {};
  if (::fstat(m_fd, &st) != 0)
    return IoErrorFromErrno(errno, false);
  size = uint64_t(st.st_size);
  return ecOK;
}

void removeFile(const std::string& path) {
  if (!path.empty())
    ::unlink(path.c_str());
}

} // namespace faximage
