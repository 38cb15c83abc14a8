#pragma once
// Thin POSIX file helpers shared by the DBF, FPT and CDX code: whole reads and
// writes at an offset that throw XBaseError instead of returning short counts,
// and the exclusive lock that keeps a table to one opener.

#include <cstdint>
#include <string>
#include <vector>

namespace xbase {

class File {
public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // create: O_CREAT; never truncates (the caller truncates once it holds the lock).
  void open(const std::string& path, bool create);
  void close();
  bool isOpen() const { return m_fd >= 0; }
  const std::string& path() const { return m_path; }
  int fd() const { return m_fd; }

  // Exclusive advisory lock on the open file description: a second open of
  // the same file fails whether it comes from this process or another one.
  void lockExclusive();

  uint64_t size() const;
  void readAt(uint64_t offset, void* data, size_t length) const;
  // Reads what is there up to length; returns the count (short at end of file).
  size_t readSome(uint64_t offset, void* data, size_t length) const;
  void writeAt(uint64_t offset, const void* data, size_t length);
  void truncate(uint64_t length);
  void sync();

private:
  int m_fd = -1;
  std::string m_path;
};

// Byte order helpers: DBF and CDX node fields are little-endian, the FPT
// header, memo block headers and CDX interior pointers big-endian.
inline uint32_t getLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t getLe16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t getBe32(const uint8_t* p) {
  return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}
inline uint16_t getBe16(const uint8_t* p) {
  return uint16_t(p[1] | p[0] << 8);
}
inline void putLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
inline void putLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
}
inline void putBe32(uint8_t* p, uint32_t v) {
  p[3] = uint8_t(v), p[2] = uint8_t(v >> 8), p[1] = uint8_t(v >> 16), p[0] = uint8_t(v >> 24);
}
inline void putBe16(uint8_t* p, uint16_t v) {
  p[1] = uint8_t(v), p[0] = uint8_t(v >> 8);
}

// "TOV.DBF" -> "TOV.FPT": same base name, new extension in the case of the old one.
std::string withExtension(const std::string& path, const std::string& upperExt);
bool fileExists(const std::string& path);

// The existing file whose name matches path's name in any letter case, in
// path's folder (a folder copied from Windows may hold tov.dbf or Tov.Dbf):
// "" when there is none, the one match when there is one; several throw Io
// naming them all.
std::string findAnyCase(const std::string& path);
// Every existing file whose name matches path's name in any letter case.
std::vector<std::string> allCaseMatches(const std::string& path);

// One listing of a folder, for finding several names in it as findAnyCase
// does (a table and its memo and index files).
class FolderNames {
public:
  explicit FolderNames(const std::string& pathInFolder);
  std::string find(const std::string& path) const; // as findAnyCase
  std::vector<std::string> matches(const std::string& path) const;

private:
  std::string m_prefix; // the folder, ending with "/", or "" for the current one
  std::vector<std::string> m_names;
  bool m_listed = false;
};

} // namespace xbase
