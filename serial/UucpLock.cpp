#include "serial/UucpLock.h"

#include "platform/FxErrors.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace serial {

namespace {

std::mutex g_dirMutex;
std::string g_lockDir = "/var/lock";

// PID stored in a lock file, or -1 when unreadable. Both the ASCII form and
// the old 4-byte binary form are understood.
long readLockPid(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return -1;
  char buf[32] = {};
  ssize_t n = ::read(fd, buf, sizeof buf - 1);
  ::close(fd);
  if (n == 4 && (buf[0] < '0' || buf[0] > '9') && buf[0] != ' ') {
    int32_t pid;
    std::memcpy(&pid, buf, 4);
    return pid;
  }
  if (n <= 0)
    return -1;
  char* end = nullptr;
  long pid = std::strtol(buf, &end, 10);
  return end == buf ? -1 : pid;
}

bool processAlive(long pid) {
  if (pid <= 0)
    return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Creates the lock file exclusively; false with errno when it exists or fails.
bool createLock(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  char text[16];
  int n = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
  bool ok = ::write(fd, text, static_cast<size_t>(n)) == n;
  ::close(fd);
  if (!ok)
    ::unlink(path.c_str());
  return ok;
}

} // namespace

std::string UucpLock::lockFileName(const std::string& devicePath) {
  // Lock the device itself, not the name it was reached by: a link such as
  // /dev/modem and the device it points to must share one lock, and links of
  // the same name in different folders must not.
  std::string name = devicePath;
  if (char* real = ::realpath(devicePath.c_str(), nullptr)) {
    name = real;
    std::free(real);
  }
  if (name.rfind("/dev/", 0) == 0)
    name.erase(0, 5);
  else if (auto slash = name.rfind('/'); slash != std::string::npos)
    name.erase(0, slash + 1);
  for (char& c : name)
    if (c == '/')
      c = '_';
  return "LCK.." + name;
}

void UucpLock::setLockDir(const std::string& dir) {
  std::lock_guard lock(g_dirMutex);
  g_lockDir = dir;
}

std::string UucpLock::lockDir() {
  std::lock_guard lock(g_dirMutex);
  return g_lockDir;
}

int UucpLock::acquire(const std::string& devicePath) {
  release();
  const std::string path = lockDir() + "/" + lockFileName(devicePath);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (createLock(path)) {
      m_path = path;
      return 0;
    }
    if (errno != EEXIST)
      return 0; // no usable lock folder: go on with the device's own exclusion
    const long pid = readLockPid(path);
    if (pid == ::getpid()) {
      // A lock this process left behind (e.g. after a crash of a port thread).
      ::unlink(path.c_str());
      continue;
    }
    if (processAlive(pid))
      return ecHardware;
    ::unlink(path.c_str()); // stale: its owner is gone
  }
  return ecHardware;
}

void UucpLock::release() {
  if (m_path.empty())
    return;
  if (readLockPid(m_path) == ::getpid())
    ::unlink(m_path.c_str());
  m_path.clear();
}

} // namespace serial
