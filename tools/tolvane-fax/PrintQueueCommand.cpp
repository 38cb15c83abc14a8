// tolvane-fax print-queue: sets up (or removes) the fax queue of the
// printing system through lpadmin, so that every program can print to fax.
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"

#include <cstdio>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cli {

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// The installed PPD, or the one in the source tree for a build not installed.
std::string defaultPpd() {
  for (const char* path : {TOLVANE_PPD_INSTALLED, TOLVANE_PPD_SOURCE})
    if (exists(path))
      return path;
  throw std::runtime_error(std::string("the fax queue's PPD is not installed (") +
                           TOLVANE_PPD_INSTALLED + "); give it with --ppd");
}

int run(std::vector<std::string> argv) {
  std::vector<char*> raw;
  for (auto& a : argv)
    raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, raw[0], nullptr, nullptr, raw.data(), environ) != 0)
    throw std::runtime_error(argv[0] + " was not found: install the printing system's client "
                                       "programs");
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int printQueueCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args, {"--name", "--ppd"}, {"--remove"});
  if (!cl.positional().empty())
    throw UsageError("print-queue takes options only");
  const std::string name = cl.value("--name", "Tolvane-Fax");
  if (cl.has("--remove")) {
    const int rc = run({"lpadmin", "-x", name});
    if (rc == 0)
      std::printf("Removed the fax queue %s.\n", name.c_str());
    return rc;
  }
  const std::string ppd = cl.has("--ppd") ? cl.value("--ppd") : defaultPpd();
  // A job that cannot be faxed fails alone instead of stopping the queue.
  const int rc = run({"lpadmin", "-p", name, "-E", "-v", "tolvane:/", "-P", ppd, "-D",
                      "Tolvane Fax", "-o", "printer-error-policy=abort-job", "-o",
                      "printer-is-shared=false"});
  if (rc == 0)
    std::printf("The fax queue %s is ready: print to it from any program and type the fax "
                "number in the print dialog.\n",
                name.c_str());
  return rc;
}

} // namespace cli
