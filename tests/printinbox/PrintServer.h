#pragma once
// A print server of the test's own: cupsd on a loopback port of its own with
// its own configuration, spool and log folders, the "tolvane" backend of this
// build in its backend folder, and the fax queue set up by
// `tolvane-fax print-queue` (lpadmin). Every user's home folder is `home` for
// the backend (TOLVANE_PRINT_HOME). The print commands of this process (lp,
// lpstat, lpadmin) talk to it through CUPS_SERVER.

#include <string>
#include <vector>

namespace printtest {

struct CommandResult {
  int exitCode = -1;
  std::string output; // standard output and error
};

// Runs a program (looked up in PATH) and collects what it prints.
CommandResult Run(const std::vector<std::string>& argv);

struct JobState {
  std::string state;   // "completed", "canceled", "aborted", "processing", ...
  std::string message; // job-printer-state-message
};

class PrintServer {
public:
  // dir: a folder of the test's own; home: the users' home folder.
  PrintServer(const std::string& dir, const std::string& home);
  ~PrintServer();
  PrintServer(const PrintServer&) = delete;
  PrintServer& operator=(const PrintServer&) = delete;

  // The server runs and the queue is set up; otherwise Problem() says why.
  bool Ready() const { return m_ready; }
  const std::string& Problem() const { return m_problem; }
  std::string QueueUri() const;

  // lp -d Tolvane-Fax [-t title] [-o option]... file; the job number, or 0.
  int Print(const std::string& file, const std::vector<std::string>& options,
            const std::string& title = {});
  JobState Job(int id) const;
  // Waits (up to `seconds`) until the job has left the queue; its state.
  JobState WaitForEnd(int id, double seconds = 60) const;
  // printer-type of the queue as ipptool reports it; -1 when not found.
  long PrinterType() const;
  std::string ErrorLog() const;

  static bool Available(); // cupsd, lp, lpadmin and ipptool are installed

private:
  std::string m_dir;
  int m_port = 0;
  int m_pid = -1;
  bool m_ready = false;
  std::string m_problem;
  bool Start(const std::string& home);
};

} // namespace printtest
