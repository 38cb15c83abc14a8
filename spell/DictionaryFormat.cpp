#include "spell/DictionaryFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spell {
namespace {

std::uint32_t get32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

void put32(std::uint32_t v, unsigned char* p) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

} // namespace

Node DecodeNode(const unsigned char* p) {
  return Node{static_cast<std::uint16_t>(p[0] | p[1] << 8), p[2]};
}

void EncodeNode(const Node& node, unsigned char* p) {
  p[0] = static_cast<unsigned char>(node.child);
  p[1] = static_cast<unsigned char>(node.child >> 8);
  p[2] = node.flags;
}

SectionHeader DecodeHeader(const unsigned char* p) {
  SectionHeader h;
  h.inUse = get32(p);
  h.capacity = get32(p + 4);
  h.words = get32(p + 8);
  h.reserved = p[12];
  h.offset = get32(p + 13);
  h.kind = p[16];
  return h;
}

void EncodeHeader(const SectionHeader& h, unsigned char* p) {
  put32(h.inUse, p);
  put32(h.capacity, p + 4);
  put32(h.words, p + 8);
  p[12] = h.reserved;
  put32(h.offset, p + 13);
  p[16] = h.kind;
}

std::optional<std::string> CheckHeader(const SectionHeader& h, std::uint64_t nodesStart,
                                       std::uint64_t fileSize) {
  // Node numbers are 16 bits wide and 65000 marks a free slot.
  if (h.inUse >= kFreeSlot)
    return "a section claims " + std::to_string(h.inUse) + " nodes, more than 16-bit numbers reach";
  if (h.capacity < h.inUse)
    return "a section has more nodes in use than node slots";
  if (nodesStart + std::uint64_t(h.capacity) * kNodeSize > fileSize)
    return "a section's nodes run past the end of the file";
  return std::nullopt;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  // The new file keeps the old one's permissions (a new one gets rw-r--r--).
  struct stat old {};
  ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const int savedErrno = errno;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(ok ? errno : savedErrno);
    ::unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

} // namespace spell
