#pragma once
// The desktop program's side of the inbox: the jobs waiting in it, oldest
// first, and their removal once their fax is stored.

#include "printinbox/PrintedJob.h"

#include <string>
#include <vector>

namespace printinbox {

struct InboxEntry {
  std::string jobFile;  // full path of the .job or .failed file
  std::string document; // full path of the PDF; empty for a refused job
  bool refused = false;
  PrintedJob job;
};

// Every complete job in the folder (files whose name starts with "." are
// being written and left alone), oldest first by name. A job file that
// cannot be read as one is listed as refused with the reason "unreadable",
// so that it is reported and removed instead of blocking the inbox.
std::vector<InboxEntry> ListInbox(const std::string& inboxDir);

// Removes the job's files, the job file first so that a job half removed is
// never taken twice. False with *error set when a file stays.
bool RemoveInboxEntry(const InboxEntry& entry, std::string* error);

} // namespace printinbox
