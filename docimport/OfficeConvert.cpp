#include "docimport/OfficeConvert.h"

#include "docimport/ImportTypes.h"
#include "platform/FxErrors.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace docimport {

namespace fs = std::filesystem;

namespace {

constexpr auto kOfficeTimeout = std::chrono::seconds(180);

// Runs argv with no terminal output; the exit status, or -1 when it had to
// be stopped or could not start.
int runQuietly(const std::vector<std::string>& args, std::chrono::seconds timeout) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    return -1;
  if (pid == 0) {
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::dup2(devnull, 2);
    ::setpgid(0, 0); // so that a timeout stops the helpers it starts too
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  const auto end = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

OfficePdf::~OfficePdf() {
  if (!m_folder.empty()) {
    std::error_code ec;
    fs::remove_all(m_folder, ec);
  }
}

std::string officeProgram() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (const char* name : {"soffice", "libreoffice"}) {
    std::size_t start = 0;
    while (start <= dirs.size()) {
      const std::size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string candidate = dirs.substr(start, end - start) + "/" + name;
      if (end > start && ::access(candidate.c_str(), X_OK) == 0)
        return candidate;
      start = end + 1;
    }
  }
  return {};
}

OfficePdf convertWithOffice(const std::string& path) {
  const std::string program = officeProgram();
  if (program.empty())
    throw ImportError(ecNotSupported,
                      "Word-processor documents are converted by LibreOffice, which is not "
                      "installed (package libreoffice-writer): " +
                          path);
  std::string templ = (fs::temp_directory_path() / "tolvane-office-XXXXXX").string();
  if (!::mkdtemp(templ.data()))
    throw ImportError(ecAccessDenied, "No scratch folder for the conversion.");
  const fs::path folder = templ;
  const fs::path out = folder / "out";
  // LibreOffice names the PDF after the input; a copy of a known name keeps
  // that predictable whatever the input is called.
  const std::string ext = fs::path(path).extension().string();
  const fs::path input = folder / ("document" + (ext.empty() ? std::string(".rtf") : ext));
  std::error_code ec;
  fs::create_directory(out, ec);
  fs::copy_file(path, input, ec);
  OfficePdf pdf(folder.string(), (out / "document.pdf").string());
  if (ec)
    throw ImportError(ecDiskRead, "The document cannot be read: " + path);
  const int rc = runQuietly({program, "--headless", "--norestore", "--nolockcheck",
                             "-env:UserInstallation=file://" + (folder / "profile").string(),
                             "--convert-to", "pdf", "--outdir", out.string(), input.string()},
                            kOfficeTimeout);
  if (rc != 0 || !fs::exists(pdf.path()))
    throw ImportError(ecBadGraphicsFormat, "LibreOffice could not convert the document: " + path);
  return pdf;
}

} // namespace docimport
