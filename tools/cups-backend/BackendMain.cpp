// The print system's backend "tolvane": hands a job printed to the fax
// queue to the printing user's Tolvane by writing its PDF and a job file
// into the inbox of that user's data folder.
//
// The print server runs it as root (mode 0700) with the arguments
//   tolvane JOB USER TITLE COPIES OPTIONS [FILE]
// (the document on standard input when FILE is missing). It reads the
// document, then becomes USER and writes nothing before that. Messages on
// standard error starting with "ERROR:" or "INFO:" go to the job's log.
#include "tools/cups-backend/InboxDelivery.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The print system's exit codes for a backend.
constexpr int kBackendOk = 0;
constexpr int kBackendFailed = 1; // a fax queue tries the job again later
constexpr int kBackendCancel = 5; // the job ends now, not printed

} // namespace

int main(int argc, char** argv) {
  if (argc == 1) {
    // Device discovery (lpinfo -v): one fax device, always present.
    std::puts("direct tolvane:/ \"Tolvane Fax\" \"Tolvane Fax\"");
    return kBackendOk;
  }
  if (argc < 6 || argc > 7) {
    std::fputs("Usage: tolvane job-id user title copies options [file]\n", stderr);
    return kBackendFailed;
  }
  backend::PrintedArguments args;
  args.queueJob = std::atol(argv[1]);
  args.user = argv[2];
  args.title = argv[3];
  args.options = argv[5];
  int source = STDIN_FILENO;
  if (argc == 7) {
    // The spool file is readable by root only: opened before becoming the user.
    source = ::open(argv[6], O_RDONLY | O_CLOEXEC);
    if (source < 0) {
      std::perror("ERROR: cannot open the printed document");
      return kBackendFailed;
    }
  }
  const backend::Delivery result = backend::DeliverToInbox(args, source);
  if (result.outcome != backend::Outcome::Delivered) {
    std::fprintf(stderr, "ERROR: %s\n", result.message.c_str());
    return result.outcome == backend::Outcome::Refused ? kBackendCancel : kBackendFailed;
  }
  std::fprintf(stderr, "INFO: %s\n", result.message.c_str());
  return kBackendOk;
}
