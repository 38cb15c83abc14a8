#include "printinbox/InboxReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace printinbox {

namespace {

constexpr off_t kMaxJobFile = 16 * 1024;

bool endsWith(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
}

// The file's text, or nullopt when it is no plain file or too long to be a
// job file. Symbolic links are not followed.
std::optional<std::string> readSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return std::nullopt;
  struct stat st {};
  std::optional<std::string> text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxJobFile) {
    std::string data(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
      const ssize_t r = ::read(fd, data.data() + got, data.size() - got);
      if (r <= 0)
        break;
      got += static_cast<std::size_t>(r);
    }
    data.resize(got);
    text = std::move(data);
  }
  ::close(fd);
  return text;
}

} // namespace

std::vector<InboxEntry> ListInbox(const std::string& inboxDir) {
  std::vector<InboxEntry> entries;
  DIR* dir = ::opendir(inboxDir.c_str());
  if (!dir)
    return entries;
  const std::string base = inboxDir.empty() || inboxDir.back() == '/' ? inboxDir : inboxDir + "/";
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.empty() || name[0] == '.')
      continue;
    const bool isJob = endsWith(name, kJobSuffix);
    const bool isFailed = endsWith(name, kFailedSuffix);
    if (!isJob && !isFailed)
      continue;
    InboxEntry entry;
    entry.jobFile = base + name;
    const auto text = readSmallFile(entry.jobFile);
    auto job = text ? ParseJob(*text) : std::nullopt;
    if (!job || (isJob && job->document.empty())) {
      entry.refused = true;
      entry.job.reason = "unreadable";
    } else {
      entry.job = std::move(*job);
      entry.refused = isFailed;
      if (isJob)
        entry.document = base + entry.job.document;
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const InboxEntry& a, const InboxEntry& b) { return a.jobFile < b.jobFile; });
  return entries;
}

bool RemoveInboxEntry(const InboxEntry& entry, std::string* error) {
  auto removeOne = [&](const std::string& path) {
    if (path.empty() || ::unlink(path.c_str()) == 0 || errno == ENOENT)
      return true;
    if (error)
      *error = path + ": " + std::strerror(errno);
    return false;
  };
  return removeOne(entry.jobFile) && removeOne(entry.document);
}

} // namespace printinbox
