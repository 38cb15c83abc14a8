#include "tests/printinbox/PrintServer.h"
#include "tests/support/LoopbackPort.h"

#include <QElapsedTimer>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace printtest {

namespace {

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

// A loopback port nobody listens on now.
bool onPath(const std::string& program) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
    if (::access((std::string(dir) + "/" + program).c_str(), X_OK) == 0)
      return true;
  return false;
}

// The value after "name (type) = " in ipptool's output, for each match.
std::vector<std::string> valuesOf(const std::string& output, const std::string& name) {
  std::vector<std::string> values;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const auto at = line.find(name + " (");
    if (at == std::string::npos)
      continue;
    const auto eq = line.find(") = ", at);
    if (eq != std::string::npos)
      values.push_back(line.substr(eq + 4));
  }
  return values;
}

} // namespace

CommandResult Run(const std::vector<std::string>& argv) {
  int out[2];
  if (::pipe(out) != 0)
    return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<char*> raw;
    for (const auto& a : argv)
      raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    ::execvp(raw[0], raw.data());
    ::_exit(127);
  }
  ::close(out[1]);
  CommandResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0)
      result.output.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool PrintServer::Available() {
  for (const char* program : {"cupsd", "lp", "lpadmin", "lpstat", "ipptool"})
    if (!onPath(program))
      return false;
  return true;
}

PrintServer::PrintServer(const std::string& dir, const std::string& home) : m_dir(dir) {
  m_ready = Start(home);
}

bool PrintServer::Start(const std::string& home) {
  if (!Available()) {
    m_problem = "cupsd, lp, lpadmin or ipptool is not installed";
    return false;
  }
  // The server's folders must not be writable by others, or cupsd refuses
  // to run a backend as root from them.
  ::chmod(m_dir.c_str(), 0755);
  for (const char* sub : {"etc/ppd", "spool/tmp", "tmp", "cache", "state", "log",
                          "serverbin/backend", "serverbin/filter"})
    fs::create_directories(m_dir + "/" + sub);
  fs::create_directory_symlink("/usr/lib/cups/daemon", m_dir + "/serverbin/daemon");
  fs::copy_file(TOLVANE_BACKEND, m_dir + "/serverbin/backend/tolvane");
  ::chmod((m_dir + "/serverbin/backend/tolvane").c_str(), 0700);
  writeFile(m_dir + "/etc/cups-files.conf",
            "ServerRoot " + m_dir + "/etc\nRequestRoot " + m_dir + "/spool\nTempDir " + m_dir +
                "/tmp\nCacheDir " + m_dir + "/cache\nStateDir " + m_dir +
                "/state\nServerBin " + m_dir + "/serverbin\nAccessLog " + m_dir +
                "/log/access_log\nErrorLog " + m_dir + "/log/error_log\nPageLog " + m_dir +
                "/log/page_log\nFileDevice No\nSandboxing Relaxed\nSystemGroup root\n"
                "SetEnv TOLVANE_PRINT_HOME " +
                home + "\n");
  for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
    m_port = testsupport::freeLoopbackPort();
    writeFile(m_dir + "/etc/cupsd.conf",
              "Listen 127.0.0.1:" + std::to_string(m_port) +
                  "\nLogLevel info\nBrowsing No\nWebInterface No\nDefaultPolicy open\n"
                  "<Policy open>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n"
                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n");
    m_pid = ::fork();
    if (m_pid == 0) {
      const std::string conf = m_dir + "/etc/cupsd.conf";
      const std::string files = m_dir + "/etc/cups-files.conf";
      ::execlp("cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr);
      ::_exit(127);
    }
    const std::string server = "127.0.0.1:" + std::to_string(m_port);
    ::setenv("CUPS_SERVER", server.c_str(), 1);
    QElapsedTimer waited;
    waited.start();
    bool running = false;
    while (!running && waited.elapsed() < 30000) {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        break; // the port was taken after all, or the configuration failed
      }
      // Ours, not another test's server that took the same port: our log
      // says it listens there.
      running = ErrorLog().find("Listening to " + server) != std::string::npos &&
                Run({"lpstat", "-r"}).output.find("is running") != std::string::npos;
      if (!running)
        QThread::msleep(100);
    }
    if (!running) {
      m_problem = "cupsd did not start: " + ErrorLog();
      continue;
    }
    const CommandResult queue = Run({TOLVANE_FAX_TOOL, "print-queue"});
    if (queue.exitCode != 0) {
      m_problem = "tolvane-fax print-queue failed: " + queue.output;
      return false;
    }
    return true;
  }
  return false;
}

PrintServer::~PrintServer() {
  if (m_pid > 0) {
    // cupsd ends on SIGTERM once its jobs are stopped; one that does not
    // within ten seconds is killed.
    ::kill(m_pid, SIGTERM);
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
      if (waited.elapsed() > 10000) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        break;
      }
      QThread::msleep(20);
    }
  }
  ::unsetenv("CUPS_SERVER");
}

std::string PrintServer::QueueUri() const {
  return "ipp://127.0.0.1:" + std::to_string(m_port) + "/printers/Tolvane-Fax";
}

int PrintServer::Print(const std::string& file, const std::vector<std::string>& options,
                       const std::string& title) {
  std::vector<std::string> argv{"lp", "-d", "Tolvane-Fax"};
  if (!title.empty())
    argv.insert(argv.end(), {"-t", title});
  for (const auto& option : options)
    argv.insert(argv.end(), {"-o", option});
  argv.push_back(file);
  const CommandResult r = Run(argv);
  // "request id is Tolvane-Fax-7 (1 file(s))"
  const auto at = r.output.find("Tolvane-Fax-");
  return r.exitCode == 0 && at != std::string::npos
             ? std::atoi(r.output.c_str() + at + std::string("Tolvane-Fax-").size())
             : 0;
}

JobState PrintServer::Job(int id) const {
  const std::string test = m_dir + "/get-job.test";
  writeFile(test, "{\nNAME \"job\"\nOPERATION Get-Job-Attributes\n"
                  "GROUP operation-attributes-tag\n"
                  "ATTR charset attributes-charset utf-8\n"
                  "ATTR naturalLanguage attributes-natural-language en\n"
                  "ATTR uri printer-uri $uri\nATTR integer job-id " +
                      std::to_string(id) +
                      "\nATTR keyword requested-attributes job-state,job-printer-state-message\n"
                      "STATUS successful-ok\nDISPLAY job-state\n"
                      "DISPLAY job-printer-state-message\n}\n");
  const CommandResult r = Run({"ipptool", "-t", QueueUri(), test});
  JobState job;
  if (auto v = valuesOf(r.output, "job-state"); !v.empty())
    job.state = v.front();
  if (auto v = valuesOf(r.output, "job-printer-state-message"); !v.empty())
    job.message = v.front();
  return job;
}

JobState PrintServer::WaitForEnd(int id, double seconds) const {
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    const JobState job = Job(id);
    if (job.state == "completed" || job.state == "canceled" || job.state == "aborted" ||
        job.state == "pending-held" || waited.elapsed() > seconds * 1000)
      return job;
    QThread::msleep(100);
  }
}

long PrintServer::PrinterType() const {
  const CommandResult r = Run({"ipptool", "-tv", QueueUri(), "get-printer-attributes.test"});
  const auto v = valuesOf(r.output, "printer-type");
  return v.empty() ? -1 : std::atol(v.front().c_str());
}

std::string PrintServer::ErrorLog() const {
  std::ifstream in(m_dir + "/log/error_log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

} // namespace printtest
