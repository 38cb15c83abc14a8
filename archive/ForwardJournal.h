#pragma once
// The forwards not done yet, kept in a file of the data folder so that a
// fax whose forwarding failed is forwarded after the program starts again.
// One line per fax: the steps left ("F" folder, "M" mail), the time it was
// received, and the fax file's path, separated by tabs.

#include <ctime>
#include <string>
#include <vector>

namespace archive {

struct PendingForward {
  std::string ApfPath;
  bool Folder = false;
  bool Mail = false;
  std::time_t When = 0;
  friend bool operator==(const PendingForward&, const PendingForward&) = default;
};

// Lines that do not have that form are skipped; a missing file gives none.
std::vector<PendingForward> ReadForwardJournal(const std::string& path);
std::vector<PendingForward> ParseForwardJournal(const std::string& text);
// Replaces the file whole (an empty list removes it); false when it cannot.
bool WriteForwardJournal(const std::string& path, const std::vector<PendingForward>& pending);

} // namespace archive
