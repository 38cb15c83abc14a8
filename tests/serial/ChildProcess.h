#pragma once
// Runs the port-holder helper as a second process with pipes on its
// standard input and output.

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

class PortHolderProcess {
public:
  PortHolderProcess(const std::string& lockDir, const std::string& device) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
      std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string exe = TOLVANE_PORT_HOLDER;
    char* argv[] = {exe.data(), const_cast<char*>(lockDir.c_str()),
                    const_cast<char*>(device.c_str()), nullptr};
    if (posix_spawn(&m_pid, exe.c_str(), &actions, nullptr, argv, environ) != 0)
      std::abort();
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_stdin = in[1];
    m_stdout = out[0];
  }
  ~PortHolderProcess() { stop(); }

  // The helper's open result, once it has opened the device.
  int openResult() {
    std::string line;
    char c;
    while (::read(m_stdout, &c, 1) == 1 && c != '\n')
      line.push_back(c);
    int code = 1;
    std::sscanf(line.c_str(), "ready %d", &code);
    return code;
  }
  pid_t pid() const { return m_pid; }
  void stop() {
    if (m_pid <= 0)
      return;
    ::close(m_stdin);
    ::close(m_stdout);
    int status;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
  }

private:
  pid_t m_pid = -1;
  int m_stdin = -1, m_stdout = -1;
};

} // namespace testsupport
