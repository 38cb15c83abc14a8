#include "archive/ForwardJournal.h"

#include "platform/ProfileFile.h"

#include <cerrno>
#include <cstdio>
#include <sstream>

namespace archive {

std::vector<PendingForward> ParseForwardJournal(const std::string& text) {
  std::vector<PendingForward> pending;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto first = line.find('\t');
    const auto second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos || second + 1 >= line.size())
      continue;
    PendingForward p;
    const std::string steps = line.substr(0, first);
    p.Folder = steps.find('F') != std::string::npos;
    p.Mail = steps.find('M') != std::string::npos;
    const std::string when = line.substr(first + 1, second - first - 1);
    if (when.empty() || when.size() > 18 ||
        when.find_first_not_of("0123456789") != std::string::npos)
      continue;
    p.When = std::time_t(std::stoll(when));
    p.ApfPath = line.substr(second + 1);
    if (p.Folder || p.Mail)
      pending.push_back(std::move(p));
  }
  return pending;
}

std::vector<PendingForward> ReadForwardJournal(const std::string& path) {
  const auto text = platform::readProfileFile(path);
  return text ? ParseForwardJournal(*text) : std::vector<PendingForward>{};
}

bool WriteForwardJournal(const std::string& path, const std::vector<PendingForward>& pending) {
  if (pending.empty())
    return std::remove(path.c_str()) == 0 || errno == ENOENT;
  std::string text;
  for (const PendingForward& p : pending) {
    // A path with a line break cannot be kept in a line; such a file name
    // never comes from the receive folder.
    if (p.ApfPath.find('\n') != std::string::npos)
      continue;
    text += std::string(p.Folder ? "F" : "") + (p.Mail ? "M" : "") + "\t" +
            std::to_string(static_cast<long long>(p.When)) + "\t" + p.ApfPath + "\n";
  }
  return platform::replaceProfileFile(path, text);
}

} // namespace archive
