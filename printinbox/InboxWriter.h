#pragma once
// The print backend's side of the inbox: folders opened one step at a time
// without following a symbolic link, and files that appear complete or not
// at all (written under a temporary name, flushed to disk, then renamed).

#include <string>
#include <string_view>

namespace printinbox {

// Opens the folder `relative` ("a/b/c") below the open folder `baseFd`, one
// component at a time, creating missing ones with mode 0700. A symbolic
// link or anything not a folder at any step is refused. Returns the open
// folder; throws std::runtime_error saying which step failed and why.
int OpenFolderBelow(int baseFd, std::string_view relative);

// A file written under ".<name>.tmp" (mode 0600, never an existing file or
// link) and renamed to `name` by commit(); removed when not committed.
class AtomicFile {
public:
  AtomicFile(int dirFd, std::string name); // throws std::runtime_error
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  int fd() const { return m_fd; }
  void write(std::string_view data);
  // Copies everything `sourceFd` gives until its end; returns the bytes.
  long long copyFrom(int sourceFd);
  // Flushes the data to disk, renames the file to its name and flushes the
  // folder, so that the file survives a crash once this returns.
  void commit();

private:
  int m_dir;
  std::string m_name;
  std::string m_temp;
  int m_fd = -1;
  bool m_committed = false;
};

} // namespace printinbox
