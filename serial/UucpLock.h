#pragma once
// The UUCP lock file other Linux modem programs honour: /var/lock/LCK..<dev>
// holding the owner's PID as ten ASCII digits and a newline.

#include <string>

namespace serial {

class UucpLock {
public:
  UucpLock() = default;
  ~UucpLock() { release(); }
  UucpLock(const UucpLock&) = delete;
  UucpLock& operator=(const UucpLock&) = delete;

  // Takes the lock for a device path. Returns 0, -2005 when a live process
  // holds it, or 0 without a lock file when the lock folder is missing or
  // not writable (the device's own exclusive mode still guards it). Stale
  // locks of dead processes are removed.
  int acquire(const std::string& devicePath);
  void release();
  const std::string& path() const { return m_path; }

  // Lock file name of a device: the path below /dev with '/' as '_'.
  static std::string lockFileName(const std::string& devicePath);
  // Folder of the lock files; tests point it elsewhere.
  static void setLockDir(const std::string& dir);
  static std::string lockDir();

private:
  std::string m_path;
};

} // namespace serial
