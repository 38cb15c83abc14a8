#include "platform/ProfileFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

struct Line {
  std::size_t begin;      // first byte of the line
  std::size_t contentEnd; // end of the text, before CR LF / LF
  std::size_t end;        // after the line ending
};

std::vector<Line> splitLines(const std::string& s) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < s.size()) {
    std::size_t nl = s.find('\n', pos);
    Line line{pos, nl == std::string::npos ? s.size() : nl, 0};
    line.end = nl == std::string::npos ? s.size() : nl + 1;
    // Every CR before the line end belongs to the ending, also on a last line
    // without LF: adding an LF there later must not change what the line says.
    while (line.contentEnd > pos && s[line.contentEnd - 1] == '\r')
      --line.contentEnd;
    lines.push_back(line);
    pos = line.end;
  }
  return lines;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

// Case folding for Windows-1252 letters: ASCII plus the accented capitals
// 0xC0-0xDE (except the multiplication sign 0xD7).
unsigned char foldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z')
    return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
    return c + 32;
  return c;
}

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return foldCase(static_cast<unsigned char>(x)) ==
                  foldCase(static_cast<unsigned char>(y));
         });
}

std::string_view lineText(const std::string& s, const Line& l) {
  return std::string_view(s).substr(l.begin, l.contentEnd - l.begin);
}

// The section name of a "[Name]" line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view text) {
  text = trim(text);
  if (text.empty() || text.front() != '[')
    return std::nullopt;
  text.remove_prefix(1);
  std::size_t close = text.find(']');
  if (close != std::string_view::npos)
    text = text.substr(0, close);
  return trim(text);
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> keyName(std::string_view text) {
  std::size_t eq = text.find('=');
  if (eq == std::string_view::npos)
    return std::nullopt;
  return trim(text.substr(0, eq));
}

std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Where a key sits in the first section of a given name.
struct KeyLocation {
  bool sectionFound = false;
  std::optional<std::size_t> keyLine; // index of the key's line
  std::size_t lastEntryLine = 0;      // header or last key line of the section
};

KeyLocation locate(const std::string& s, const std::vector<Line>& lines, std::string_view section,
                   std::string_view key) {
  KeyLocation loc;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view text = lineText(s, lines[i]);
    if (auto name = sectionName(text)) {
      if (inside)
        break; // only the first section of that name counts
      inside = sameName(*name, section);
      if (inside) {
        loc.sectionFound = true;
        loc.lastEntryLine = i;
      }
      continue;
    }
    if (!inside)
      continue;
    auto k = keyName(text);
    if (!k)
      continue;
    loc.lastEntryLine = i;
    if (sameName(*k, key)) {
      loc.keyLine = i;
      break;
    }
  }
  return loc;
}

std::string lineEnding(const std::string& s) {
  std::size_t nl = s.find('\n');
  if (nl != std::string::npos && (nl == 0 || s[nl - 1] != '\r'))
    return "\n";
  return "\r\n";
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

std::optional<std::string> ProfileText::value(std::string_view section,
                                              std::string_view key) const {
  auto lines = splitLines(m_bytes);
  KeyLocation loc = locate(m_bytes, lines, trim(section), trim(key));
  if (!loc.keyLine)
    return std::nullopt;
  std::string_view text = lineText(m_bytes, lines[*loc.keyLine]);
  return std::string(unquote(trim(text.substr(text.find('=') + 1))));
}

bool ProfileText::hasSection(std::string_view section) const {
  auto lines = splitLines(m_bytes);
  return locate(m_bytes, lines, trim(section), std::string_view()).sectionFound;
}

bool ProfileText::setValue(std::string_view section, std::string_view key, std::string_view value) {
  section = trim(section);
  key = trim(key);
  if (section.empty() || key.empty() || hasLineBreak(section) || hasLineBreak(key) ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      key.front() == '[') // such a line would read back as a section header
    return false;
  std::string clean;
  for (char c : value)
    if (c != '\r' && c != '\n' && c != '\0')
      clean += c;

  const std::string eol = lineEnding(m_bytes);
  auto lines = splitLines(m_bytes);
  KeyLocation loc = locate(m_bytes, lines, section, key);
  if (loc.keyLine) {
    const Line& l = lines[*loc.keyLine];
    std::string storedKey(*keyName(lineText(m_bytes, l)));
    m_bytes.replace(l.begin, l.contentEnd - l.begin, storedKey + "=" + clean);
    return true;
  }
  std::string entry = std::string(key) + "=" + clean + eol;
  if (loc.sectionFound) {
    const Line& after = lines[loc.lastEntryLine];
    std::size_t at = after.end;
    if (after.end == m_bytes.size() && m_bytes.back() != '\n') // last line without an LF
      entry = eol + entry;
    m_bytes.insert(at, entry);
    return true;
  }
  if (!m_bytes.empty() && m_bytes.back() != '\n')
    m_bytes += eol;
  m_bytes += "[" + std::string(section) + "]" + eol + entry;
  return true;
}

std::optional<std::string> readProfileFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
  std::string bytes;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0)
      break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return bytes;
}

namespace {

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

} // namespace

bool replaceProfileFile(const std::string& path, const std::string& bytes) {
  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0)
    return false;
  struct stat st {};
  mode_t mode = 0644;
  if (::stat(path.c_str(), &st) == 0)
    mode = st.st_mode & 07777;
  else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0)
    return true;
  // errno keeps the reason of the failed step for the caller's message.
  const int reason = errno;
  ::unlink(tmp.c_str());
  errno = reason;
  return false;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
  std::string result(defaultValue);
  if (auto bytes = readProfileFile(path))
    if (auto v = ProfileText(std::move(*bytes)).value(section, key))
      result = std::move(*v);
  if (result.size() > ProfileStringMax)
    result.resize(ProfileStringMax);
  return result;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
  auto bytes = readProfileFile(path);
  if (!bytes)
    return false;
  ProfileText text(*bytes);
  if (!text.setValue(section, key, value))
    return false;
  if (text.bytes() == *bytes && ::access(path.c_str(), F_OK) == 0)
    return true;
  return replaceProfileFile(path, text.bytes());
}

} // namespace platform
