#include "xbase/FileIo.h"

#include "xbase/XBaseError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xbase {

namespace {
[[noreturn]] void ioFail(const std::string& what, const std::string& path) {
  throw XBaseError(ErrorCode::Io, what + " " + path + ": " + std::strerror(errno));
}
} // namespace

File::~File() {
  close();
}

File::File(File&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path)) {
  other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    m_fd = other.m_fd;
    m_path = std::move(other.m_path);
    other.m_fd = -1;
  }
  return *this;
}

void File::open(const std::string& path, bool create) {
  close();
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
  if (fd < 0)
    ioFail("cannot open", path);
  m_fd = fd;
  m_path = path;
}

void File::close() {
  if (m_fd >= 0)
    ::close(m_fd);
  m_fd = -1;
}

void File::lockExclusive() {
  if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      throw XBaseError(ErrorCode::Locked, "table is in use: " + m_path);
    ioFail("cannot lock", m_path);
  }
}

uint64_t File::size() const {
  struct stat st {};
  if (::fstat(m_fd, &st) != 0)
    ioFail("cannot stat", m_path);
  return uint64_t(st.st_size);
}

size_t File::readSome(uint64_t offset, void* data, size_t length) const {
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(m_fd, static_cast<char*>(data) + done, length - done, off_t(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      ioFail("cannot read", m_path);
    if (n == 0)
      break;
    done += size_t(n);
  }
  return done;
}

void File::readAt(uint64_t offset, void* data, size_t length) const {
  if (readSome(offset, data, length) != length)
    throw XBaseError(ErrorCode::Io, "unexpected end of file in " + m_path);
}

void File::writeAt(uint64_t offset, const void* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n =
        ::pwrite(m_fd, static_cast<const char*>(data) + done, length - done, off_t(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      ioFail("cannot write", m_path);
    done += size_t(n);
  }
}

void File::truncate(uint64_t length) {
  if (::ftruncate(m_fd, off_t(length)) != 0)
    ioFail("cannot truncate", m_path);
}

void File::sync() {
  if (::fdatasync(m_fd) != 0)
    ioFail("cannot sync", m_path);
}

std::string withExtension(const std::string& path, const std::string& upperExt) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  std::string base = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                         ? path
                         : path.substr(0, dot);
  std::string ext = upperExt;
  // Keep the letter case of the table's own extension: tov.dbf -> tov.fpt.
  if (dot != std::string::npos && dot + 1 < path.size() && std::islower(uint8_t(path[dot + 1])))
    for (char& c : ext)
      c = char(std::tolower(uint8_t(c)));
  return base + "." + ext;
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

FolderNames::FolderNames(const std::string& pathInFolder) {
  size_t slash = pathInFolder.find_last_of('/');
  m_prefix = slash == std::string::npos ? std::string() : pathInFolder.substr(0, slash + 1);
  DIR* d = ::opendir(m_prefix.empty() ? "." : m_prefix.c_str());
  if (!d)
    return;
  m_listed = true;
  while (const dirent* e = ::readdir(d))
    m_names.emplace_back(e->d_name);
  ::closedir(d);
  std::sort(m_names.begin(), m_names.end());
}

std::vector<std::string> FolderNames::matches(const std::string& path) const {
  size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::vector<std::string> found;
  for (const auto& n : m_names)
    if (::strcasecmp(n.c_str(), name.c_str()) == 0)
      found.push_back(m_prefix + n);
  return found;
}

std::string FolderNames::find(const std::string& path) const {
  std::vector<std::string> all = matches(path);
  if (all.empty())
    return !m_listed && fileExists(path) ? path : std::string(); // a folder that cannot be listed
  if (all.size() == 1)
    return all.front();
  std::string names;
  for (const auto& f : all)
    names += (names.empty() ? "" : ", ") + f.substr(m_prefix.size());
  throw XBaseError(ErrorCode::Io,
                   "several files match " + path + " in letter case; keep one of them: " + names);
}

std::vector<std::string> allCaseMatches(const std::string& path) {
  return FolderNames(path).matches(path);
}

std::string findAnyCase(const std::string& path) {
  return FolderNames(path).find(path);
}

} // namespace xbase
