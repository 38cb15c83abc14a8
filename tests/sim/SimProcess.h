#pragma once
// Runs tolvane-modemsim as a separate process for the integration tests,
// with its own scratch folder, and runs efax against it.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tolvane::sim::test {

class SimProcess {
public:
  // args are passed after the program name; "@" in them stands for the
  // scratch folder. Waits until the simulator says it is ready.
  explicit SimProcess(std::vector<std::string> args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& dir() const { return m_dir; }
  pid_t pid() const { return m_pid; }
  std::string log() const;
  bool waitForLog(const std::string& text, double seconds) const;
  // Writes one line into the control FIFO (started with --control @/ctl).
  void control(const std::string& line) const;
  // SIGTERM and wait; returns the exit status (or -1 if it did not end).
  int stop();
  bool running() const;

private:
  std::string m_dir;
  pid_t m_pid = -1;
};

struct EfaxRun {
  int status = -1;
  std::string log;
};

// Runs efax with these arguments (a shell word list) and a time limit.
EfaxRun runEfax(const std::string& args, int timeoutSeconds, const std::string& logPath);

// Rows of one page of a bilevel TIFF, blank rows at top and bottom removed.
std::vector<std::vector<unsigned char>> inkedRows(const std::string& path, int page = 0);

std::string readFile(const std::string& path);

} // namespace tolvane::sim::test
