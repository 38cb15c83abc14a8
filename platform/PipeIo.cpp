#include "platform/PipeIo.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace platform {

bool writeAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    size -= std::size_t(n);
  }
  return true;
}

bool readAll(int fd, void* data, std::size_t size, int waitMs) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    if (waitMs >= 0) {
      pollfd pfd{fd, POLLIN, 0};
      const int ready = ::poll(&pfd, 1, waitMs);
      if (ready < 0 && errno == EINTR)
        continue;
      if (ready <= 0)
        return false;
    }
    const ssize_t n = ::read(fd, p, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    size -= std::size_t(n);
  }
  return true;
}

} // namespace platform
