#pragma once
// One printed job into its user's inbox (see BackendMain.cpp).

#include <string>

namespace backend {

struct PrintedArguments {
  long queueJob = 0;
  std::string user;
  std::string title;
  std::string options; // the print system's option string ("phone=...")
};

enum class Outcome {
  Delivered,
  Failed,  // may work when tried again (a full disk, say)
  Refused, // cannot work as it is: no readable PDF, unknown user, a link in the way
};

struct Delivery {
  Outcome outcome = Outcome::Failed;
  std::string message; // for the job's log: what was kept where, or why not
};

// Becomes the job's user (when run as root), opens that user's inbox below
// their home folder without following links (creating the folders that are
// missing), and writes the document and its job file there. A document that
// is no readable PDF is not kept: a ".failed" note tells the user's Tolvane
// why. $TOLVANE_PRINT_HOME, when the print server sets it, stands for every
// user's home folder.
Delivery DeliverToInbox(const PrintedArguments& args, int documentFd);

} // namespace backend
