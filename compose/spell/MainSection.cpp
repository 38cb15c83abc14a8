// The main dictionary: read-only, searched through a node cache.
#include "compose/spell/LetterTree.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spell {
namespace {

// More sections than any word list needs; a file that claims more is not a
// dictionary, and each section costs a cache.
constexpr std::size_t kMaxSections = 256;

ssize_t readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
  for (;;) {
    const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    if (n >= 0 || errno != EINTR)
      return n;
  }
}

// Offset just past the preamble's closing byte 26, or -1.
std::int64_t findPreambleEnd(int fd, std::uint64_t size) {
  char buffer[4096];
  for (std::uint64_t at = 0; at < size;) {
    const ssize_t n = readAt(fd, buffer, sizeof buffer, at);
    if (n <= 0)
      return -1;
    if (const void* hit = std::memchr(buffer, kPreambleEnd, static_cast<std::size_t>(n)))
      return static_cast<std::int64_t>(at + (static_cast<const char*>(hit) - buffer) + 1);
    at += static_cast<std::uint64_t>(n);
  }
  return -1;
}

} // namespace

MainDictionaryFile::~MainDictionaryFile() {
  if (m_fd >= 0)
    ::close(m_fd);
}

std::shared_ptr<MainDictionaryFile> MainDictionaryFile::Open(const std::string& path,
                                                             std::string& error) {
  std::shared_ptr<MainDictionaryFile> file(new MainDictionaryFile);
  file->m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file->m_fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(file->m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = path + ": not a regular file";
    return nullptr;
  }
  file->m_size = static_cast<std::uint64_t>(st.st_size);
  const std::int64_t headerAt = findPreambleEnd(file->m_fd, file->m_size);
  if (headerAt < 0) {
    error = path + ": no end of the preamble (byte 26) found";
    return nullptr;
  }
  std::string reason;
  if (!file->readSections(static_cast<std::uint64_t>(headerAt), reason)) {
    error = path + ": " + reason;
    return nullptr;
  }
  return file;
}

bool MainDictionaryFile::readSections(std::uint64_t headerAt, std::string& error) {
  for (;;) {
    unsigned char raw[kHeaderSize];
    if (headerAt + kHeaderSize > m_size ||
        readAt(m_fd, raw, kHeaderSize, headerAt) != static_cast<ssize_t>(kHeaderSize)) {
      error = "section header " + std::to_string(m_sections.size() + 1) + " is cut short";
      return false;
    }
    Section s{DecodeHeader(raw), headerAt + kHeaderSize};
    if (m_sections.empty() && !s.header.IsMain()) {
      error = "a user dictionary, not a main dictionary";
      return false;
    }
    if (auto bad = CheckHeader(s.header, s.nodesStart, m_size)) {
      error = "section " + std::to_string(m_sections.size() + 1) + ": " + *bad;
      return false;
    }
    if (m_sections.size() == kMaxSections) {
      error = "more than " + std::to_string(kMaxSections) + " sections";
      return false;
    }
    m_sections.push_back(s);
    const std::uint64_t next = s.nodesStart + std::uint64_t(s.header.capacity) * kNodeSize;
    if (next + kSectionGap >= m_size)
      return true;
    headerAt = next;
  }
}

MainSection::MainSection(std::shared_ptr<MainDictionaryFile> file,
                         const MainDictionaryFile::Section& s)
    : m_file(std::move(file)), m_header(s.header), m_nodesStart(s.nodesStart) {}

bool MainSection::ReadNode(std::uint32_t number, Node& node) {
  if (number == 0 || number > m_header.inUse)
    return false;
  if (m_cache.empty())
    m_cache.resize(kSlots);
  const std::uint32_t index = number - 1;
  const std::uint64_t block =
      m_nodesStart + std::uint64_t(index / kBlockNodes) * kBlockNodes * kNodeSize;
  Slot& slot = m_cache[(block / 8) % kSlots];
  if (slot.tag != static_cast<std::int64_t>(block)) {
    const ssize_t n = readAt(m_file->Descriptor(), slot.bytes.data(), slot.bytes.size(), block);
    if (n <= 0) {
      slot.tag = -1;
      return false;
    }
    slot.tag = static_cast<std::int64_t>(block);
    slot.valid = static_cast<std::uint32_t>(n);
  }
  const std::size_t within = (index % kBlockNodes) * kNodeSize;
  if (within + kNodeSize > slot.valid)
    return false;
  node = DecodeNode(slot.bytes.data() + within);
  return true;
}

} // namespace spell
