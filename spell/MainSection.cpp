// The main dictionary: read-only, held in memory or read through node caches.
#include "spell/LetterTree.h"

#include <algorithm>
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

std::uint64_t g_memoryLimit = 32ull << 20;

// Offset just past the preamble's closing byte 26, or -1.
std::int64_t findPreambleEnd(const MainDictionaryFile& file) {
  char buffer[4096];
  for (std::uint64_t at = 0; at < file.Size();) {
    const ssize_t n = file.ReadAt(buffer, sizeof buffer, at);
    if (n <= 0)
      return -1;
    if (const void* hit = std::memchr(buffer, kPreambleEnd, static_cast<std::size_t>(n)))
      return static_cast<std::int64_t>(at + (static_cast<const char*>(hit) - buffer) + 1);
    at += static_cast<std::uint64_t>(n);
  }
  return -1;
}

bool readWhole(int fd, std::uint64_t size, std::string& image) {
  image.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, image.data() + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  image.resize(done); // a file cut short meanwhile is checked at this size
  return done > 0 || size == 0;
}

} // namespace

void MainDictionaryFile::SetMemoryLimit(std::uint64_t bytes) {
  g_memoryLimit = bytes;
}

ssize_t MainDictionaryFile::ReadAt(void* buffer, std::size_t size, std::uint64_t offset) const {
  if (!m_image.empty() || m_fd < 0) {
    if (offset >= m_image.size())
      return 0;
    const std::size_t n = std::min<std::uint64_t>(size, m_image.size() - offset);
    std::memcpy(buffer, m_image.data() + offset, n);
    return static_cast<ssize_t>(n);
  }
  for (;;) {
    const ssize_t n = ::pread(m_fd, buffer, size, static_cast<off_t>(offset));
    if (n >= 0 || errno != EINTR)
      return n;
  }
}

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
  if (file->m_size <= g_memoryLimit) {
    if (!readWhole(file->m_fd, file->m_size, file->m_image)) {
      error = path + ": " + std::strerror(errno);
      return nullptr;
    }
    file->m_size = file->m_image.size();
    ::close(file->m_fd);
    file->m_fd = -1;
  }
  const std::int64_t headerAt = findPreambleEnd(*file);
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
        ReadAt(raw, kHeaderSize, headerAt) != static_cast<ssize_t>(kHeaderSize)) {
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
  // The section's nodes were checked to lie inside the file when it was opened.
  if (const std::string& image = m_file->Image(); !image.empty()) {
    node = DecodeNode(reinterpret_cast<const unsigned char*>(image.data()) + m_nodesStart +
                      std::size_t(number - 1) * kNodeSize);
    return true;
  }
  if (m_cache.empty())
    m_cache.resize(kSlots);
  const std::uint32_t index = number - 1;
  const std::uint64_t block =
      m_nodesStart + std::uint64_t(index / kBlockNodes) * kBlockNodes * kNodeSize;
  Slot& slot = m_cache[(block / 8) % kSlots];
  if (slot.tag != static_cast<std::int64_t>(block)) {
    const ssize_t n = m_file->ReadAt(slot.bytes.data(), slot.bytes.size(), block);
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
