// User dictionaries: read whole, changed in memory and written back through
// a temporary file, so that a crash in mid-write keeps the previous file.
#include "spell/LetterTree.h"
#include "spell/Letters.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spell {
namespace {

// Far beyond any user dictionary (64000 slots take 192 kB); a bigger file
// is not read into memory.
constexpr off_t kMaxUserFileSize = 16 * 1024 * 1024;
constexpr std::uint32_t kGrowth = 500;
const char kPreamble[] = "USER DICTIONARY\r\nWords added by the user of Tolvane\r\n\x1a";

bool readWhole(int fd, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0)
      return true;
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > std::size_t(kMaxUserFileSize))
      return false;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

} // namespace

bool UserDictionary::identify(const std::string& path, FileIdentity& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return false;
  id = {st.st_dev, st.st_ino, st.st_size,
        std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  return true;
}

std::unique_ptr<UserDictionary> UserDictionary::Open(const std::string& path, std::string& error) {
  std::unique_ptr<UserDictionary> dict(new UserDictionary);
  dict->m_path = path;
  if (!dict->load(error))
    return nullptr;
  if (::access(path.c_str(), W_OK) != 0) {
    error = path + ": cannot be written: " + std::strerror(errno);
    return nullptr;
  }
  return dict;
}

std::unique_ptr<UserDictionary> UserDictionary::Create(const std::string& path,
                                                       std::string& error) {
  std::unique_ptr<UserDictionary> dict(new UserDictionary);
  dict->m_path = path;
  dict->m_preamble.assign(kPreamble, sizeof kPreamble - 1);
  dict->m_header = SectionHeader{1, kGrowth, 1, 0, 0, 0};
  dict->m_nodes.assign(kGrowth, Node{kFreeSlot, 0});
  dict->m_nodes[0] = Node{kNoChild, std::uint8_t(LetterCode('A') | kLastSibling | kWordEnd)};
  if (!dict->save(error))
    return nullptr;
  // Read back what was written, as any other user dictionary is.
  return Open(path, error);
}

bool UserDictionary::load(std::string& error) {
  m_usable = false;
  const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = m_path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  std::string bytes;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const bool read = regular && st.st_size <= kMaxUserFileSize && readWhole(fd, bytes);
  ::close(fd);
  if (!read) {
    error = m_path + (regular ? ": cannot be read or is too large" : ": not a regular file");
    return false;
  }
  const auto end = bytes.find(char(kPreambleEnd));
  if (end == std::string::npos || bytes.size() - end - 1 < kHeaderSize) {
    error = m_path + (end == std::string::npos ? ": no end of the preamble (byte 26) found"
                                               : ": the section header is cut short");
    return false;
  }
  const std::size_t headerAt = end + 1;
  const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
  const SectionHeader h = DecodeHeader(raw + headerAt);
  const std::size_t nodesStart = headerAt + kHeaderSize;
  if (h.IsMain()) {
    error = m_path + ": a main dictionary, not a user dictionary";
    return false;
  }
  if (auto bad = CheckHeader(h, nodesStart, bytes.size())) {
    error = m_path + ": " + *bad;
    return false;
  }
  m_preamble = bytes.substr(0, headerAt);
  m_header = h;
  m_nodes.resize(h.capacity);
  for (std::uint32_t i = 0; i < h.capacity; ++i)
    m_nodes[i] = DecodeNode(raw + nodesStart + std::size_t(i) * kNodeSize);
  m_tail = bytes.substr(nodesStart + std::size_t(h.capacity) * kNodeSize);
  m_identity = {st.st_dev, st.st_ino, st.st_size,
                std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  m_usable = true;
  return true;
}

bool UserDictionary::save(std::string& error) const {
  std::string bytes = m_preamble;
  SectionHeader h = m_header;
  h.offset = static_cast<std::uint32_t>(m_preamble.size());
  unsigned char raw[kHeaderSize];
  EncodeHeader(h, raw);
  bytes.append(reinterpret_cast<const char*>(raw), kHeaderSize);
  std::string nodes(m_nodes.size() * kNodeSize, '\0');
  for (std::size_t i = 0; i < m_nodes.size(); ++i)
    EncodeNode(m_nodes[i], reinterpret_cast<unsigned char*>(nodes.data()) + i * kNodeSize);
  bytes += nodes;
  bytes += m_tail;
  return WriteFileAtomically(m_path, bytes, error);
}

bool UserDictionary::Refresh(std::string& error, bool always) {
  const auto now = std::chrono::steady_clock::now();
  if (m_usable && !always && now - m_lastLook < kRecheckInterval)
    return true;
  m_lastLook = now;
  FileIdentity current;
  if (m_usable && identify(m_path, current) && current == m_identity)
    return true;
  if (load(error))
    return true;
  m_header.inUse = 0; // knows nothing until the file is usable again
  m_nodes.clear();
  return false;
}

bool UserDictionary::ReadNode(std::uint32_t number, Node& node) {
  if (number == 0 || number > m_header.inUse || number > m_nodes.size())
    return false;
  node = m_nodes[number - 1];
  return true;
}

std::uint32_t UserDictionary::insertNode(std::uint32_t at, const Node& node) {
  if (m_header.inUse + 1 > m_nodes.size()) {
    const std::uint32_t capacity = (m_header.inUse / kGrowth + 1) * kGrowth;
    m_nodes.resize(std::min(capacity, kMaxNodes + 1), Node{kFreeSlot, 0});
    m_header.capacity = static_cast<std::uint32_t>(m_nodes.size());
  }
  // Slots from the insertion point move up by one; so do the numbers that
  // point at them.
  m_nodes.pop_back();
  m_nodes.insert(m_nodes.begin() + (at - 1), node);
  ++m_header.inUse;
  for (std::uint32_t i = 0; i < m_header.inUse; ++i) {
    Node& n = m_nodes[i];
    if (i != at - 1 && n.HasChild() && n.child >= at)
      ++n.child;
  }
  return at;
}

std::uint32_t UserDictionary::findOrAdd(std::uint32_t listStart, int code, bool& added,
                                        std::uint32_t parent) {
  const auto letter = static_cast<std::uint8_t>(code);
  if (listStart == 0) {
    // A fresh child list goes to the end: nothing has to move.
    const std::uint32_t at =
        insertNode(m_header.inUse + 1, Node{kNoChild, std::uint8_t(letter | kLastSibling)});
    if (parent != 0)
      m_nodes[parent - 1].child = static_cast<std::uint16_t>(at);
    added = true;
    return at;
  }
  std::uint32_t n = listStart;
  for (;; ++n) {
    if (m_nodes[n - 1].Letter() == code)
      return n;
    if (m_nodes[n - 1].IsLast() || n == m_header.inUse)
      break;
  }
  // The new sibling goes right after the list's last node and becomes the last.
  m_nodes[n - 1].flags &= static_cast<std::uint8_t>(~kLastSibling);
  added = true;
  return insertNode(n + 1, Node{kNoChild, std::uint8_t(letter | kLastSibling)});
}

UserDictionary::AddResult UserDictionary::AddWord(std::string_view capitals, std::string& error) {
  if (!Refresh(error, true))
    return AddResult::WriteFailed;
  if (capitals.empty() || capitals.size() > kMaxWordLength) {
    error = "a word must have 1 to " + std::to_string(kMaxWordLength) + " characters";
    return AddResult::Refused;
  }
  for (char c : capitals)
    if (LetterCode(static_cast<unsigned char>(c)) < 0) {
      error = "the word holds a character no dictionary can hold";
      return AddResult::Refused;
    }
  if (m_header.inUse + capitals.size() > kMaxNodes) {
    error = "the user dictionary is full";
    return AddResult::Refused;
  }
  const SectionHeader oldHeader = m_header;
  const std::vector<Node> oldNodes = m_nodes;
  bool added = false;
  std::uint32_t listStart = m_header.inUse > 0 ? 1 : 0;
  std::uint32_t parent = 0;
  std::uint32_t n = 0;
  for (char c : capitals) {
    if (n != 0)
      listStart = m_nodes[n - 1].HasChild() ? m_nodes[n - 1].child : 0;
    // A child number beyond the nodes in use would be followed into free slots.
    if (listStart > m_header.inUse) {
      error = m_path + ": a node points outside the dictionary";
      m_header = oldHeader;
      m_nodes = oldNodes;
      return AddResult::WriteFailed;
    }
    n = findOrAdd(listStart, LetterCode(static_cast<unsigned char>(c)), added, parent);
    parent = n;
  }
  if (!m_nodes[n - 1].EndsWord()) {
    m_nodes[n - 1].flags |= kWordEnd;
    ++m_header.words;
    added = true;
  }
  if (!added)
    return AddResult::AlreadyThere;
  if (!save(error)) {
    m_header = oldHeader;
    m_nodes = oldNodes;
    return AddResult::WriteFailed;
  }
  identify(m_path, m_identity);
  return AddResult::Added;
}

} // namespace spell
