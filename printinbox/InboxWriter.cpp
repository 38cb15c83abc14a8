#include "printinbox/InboxWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace printinbox {

namespace {

[[noreturn]] void fail(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

int openStep(int parent, const std::string& name) {
  return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

int OpenFolderBelow(int baseFd, std::string_view relative) {
  int current = ::fcntl(baseFd, F_DUPFD_CLOEXEC, 0);
  if (current < 0)
    fail("cannot use the base folder", errno);
  std::string walked;
  while (!relative.empty()) {
    const auto slash = relative.find('/');
    const std::string name(relative.substr(0, slash));
    relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    if (name.empty() || name == ".")
      continue;
    walked += walked.empty() ? name : "/" + name;
    if (name == "..") {
      ::close(current);
      throw std::runtime_error(walked + ": the path leaves its folder");
    }
    int next = openStep(current, name);
    if (next < 0 && errno == ENOENT) {
      if (::mkdirat(current, name.c_str(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        ::close(current);
        fail("cannot create " + walked, error);
      }
      next = openStep(current, name);
    }
    if (next < 0) {
      const int error = errno;
      // A link gives ELOOP or ENOTDIR (O_DIRECTORY is checked first), as
      // does a plain file: look at what is there.
      struct stat st {};
      const bool link = ::fstatat(current, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISLNK(st.st_mode);
      ::close(current);
      if (link)
        throw std::runtime_error(walked + " is a symbolic link; it is not followed");
      if (error == ENOTDIR || error == ELOOP)
        throw std::runtime_error(walked + " is not a folder");
      fail("cannot open " + walked, error);
    }
    ::close(current);
    current = next;
  }
  return current;
}

AtomicFile::AtomicFile(int dirFd, std::string name)
    : m_dir(dirFd), m_name(std::move(name)), m_temp("." + m_name + ".tmp") {
  // A temporary file left by a backend that died is replaced.
  ::unlinkat(m_dir, m_temp.c_str(), 0);
  m_fd = ::openat(m_dir, m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
  if (m_fd < 0)
    fail("cannot create " + m_temp, errno);
}

AtomicFile::~AtomicFile() {
  if (m_fd >= 0)
    ::close(m_fd);
  if (!m_committed)
    ::unlinkat(m_dir, m_temp.c_str(), 0);
}

void AtomicFile::write(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(m_fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR)
        continue;
      fail("cannot write " + m_name, errno);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

long long AtomicFile::copyFrom(int sourceFd) {
  char buffer[64 * 1024];
  long long total = 0;
  for (;;) {
    const ssize_t n = ::read(sourceFd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      fail("cannot read the printed document", errno);
    }
    if (n == 0)
      return total;
    write(std::string_view(buffer, static_cast<std::size_t>(n)));
    total += n;
  }
}

void AtomicFile::commit() {
  if (::fsync(m_fd) != 0)
    fail("cannot write " + m_name + " to disk", errno);
  if (::renameat(m_dir, m_temp.c_str(), m_dir, m_name.c_str()) != 0)
    fail("cannot name " + m_name, errno);
  m_committed = true;
  ::fsync(m_dir);
}

} // namespace printinbox
