#include "tools/cups-backend/InboxDelivery.h"

#include "docimport/ImportTypes.h"
#include "docimport/PageSource.h"
#include "platform/ProgramDir.h"
#include "printinbox/InboxWriter.h"
#include "printinbox/PrintedJob.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdexcept>
#include <unistd.h>

namespace backend {

namespace {

struct Account {
  uid_t uid = 0;
  gid_t gid = 0;
  std::string home;
};

// A failure that trying again cannot mend (the user, the document or the
// folder must change first).
class Refusal : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A descriptor closed when its scope ends.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0)
      ::close(fd);
  }
};

Account accountOf(const std::string& user) {
  errno = 0;
  const passwd* pw = ::getpwnam(user.c_str());
  if (!pw)
    throw Refusal("the user \"" + user + "\" who printed the fax is unknown here");
  return {pw->pw_uid, pw->pw_gid, pw->pw_dir ? pw->pw_dir : ""};
}

// Gives up root for good before anything of the user's is touched.
void becomeUser(const std::string& user, const Account& account) {
  if (::geteuid() != 0) {
    if (::geteuid() != account.uid)
      throw Refusal("the backend cannot act for \"" + user +
                               "\": the print server does not run it as root");
    return;
  }
  if (::initgroups(user.c_str(), account.gid) != 0 || ::setgid(account.gid) != 0 ||
      ::setuid(account.uid) != 0)
    throw std::runtime_error("cannot act as \"" + user + "\": " + std::strerror(errno));
  if (account.uid != 0 && ::setuid(0) == 0)
    throw std::runtime_error("root rights could not be given up");
}

std::string jobName(long queueJob) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm tm {};
  ::localtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  char number[24];
  std::snprintf(number, sizeof number, "%08ld", queueJob);
  return std::string(stamp) + "-" + number;
}

// The page count of the written PDF, read through the descriptor so that
// exactly the bytes written are checked.
int pdfPages(int fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return docimport::openPdfSource(path, docimport::SourceLimits{})->pageCount();
}

} // namespace

Delivery DeliverToInbox(const PrintedArguments& args, int documentFd) {
  printinbox::PrintedJob job;
  job.user = args.user;
  job.title = args.title;
  job.queueJob = args.queueJob;
  const auto options = printinbox::ParseQueueOptions(args.options);
  if (auto phone = options.find("phone"); phone != options.end())
    job.number = printinbox::CleanFaxNumber(phone->second);
  if (auto prefix = options.find("faxPrefix"); prefix != options.end() && !job.number.empty())
    job.number = printinbox::CleanFaxNumber(prefix->second + job.number);

  Fd inbox;
  try {
    const Account account = accountOf(args.user);
    becomeUser(args.user, account);
    const char* homeOverride = std::getenv("TOLVANE_PRINT_HOME");
    const std::string home = homeOverride && *homeOverride ? homeOverride : account.home;
    // The home folder is the system's; below it every step is the user's
    // and is walked without following links.
    const std::string dataFolder = platform::DataFolderOf(home, "");
    const std::string below = dataFolder.substr(platform::withTrailingSlash(home).size()) +
                              printinbox::kInboxFolder;
    Fd homeFd{::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (homeFd.fd < 0)
      throw Refusal("the home folder " + home + " cannot be opened: " + std::strerror(errno));
    try {
      inbox.fd = printinbox::OpenFolderBelow(homeFd.fd, below);
    } catch (const std::runtime_error& e) {
      throw Refusal("the fax inbox " + platform::withTrailingSlash(home) + below +
                    " cannot be used: " + e.what());
    }

    const std::string name = jobName(args.queueJob);
    printinbox::AtomicFile document(inbox.fd, name + ".pdf");
    document.copyFrom(documentFd);
    try {
      job.pages = pdfPages(document.fd());
    } catch (const docimport::ImportError& e) {
      // Nothing of a document that cannot be faxed is kept; the note lets
      // the user's Tolvane say so on the desktop.
      std::string why = e.what();
      if (const auto at = why.find(": /proc/self/fd/"); at != std::string::npos)
        why.resize(at);
      job.reason = "the printed document is no readable PDF (" + why + ")";
      try {
        printinbox::AtomicFile note(inbox.fd, name + printinbox::kFailedSuffix);
        note.write(printinbox::FormatJob(job));
        note.commit();
      } catch (const std::runtime_error&) {
        // The job log still says why.
      }
      return {Outcome::Refused, job.reason};
    }
    document.commit();
    job.document = name + ".pdf";
    printinbox::AtomicFile jobFile(inbox.fd, name + printinbox::kJobSuffix);
    jobFile.write(printinbox::FormatJob(job));
    jobFile.commit();
    return {Outcome::Delivered, "fax of " + std::to_string(job.pages) +
                                    " page(s) handed to Tolvane" +
                                    (job.number.empty() ? std::string() : " for " + job.number)};
  } catch (const Refusal& e) {
    return {Outcome::Refused, e.what()};
  } catch (const std::exception& e) {
    return {Outcome::Failed, e.what()};
  }
}

} // namespace backend
