#include "archive/IsolatedOcr.h"

#include "archive/OcrModule.h"
#include "platform/PipeIo.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <linux/close_range.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace archive {

namespace {

// The text and word boxes of a fax; a 100-page fax takes a few megabytes.
constexpr uint32_t kMaxText = 64u << 20;
// The child's processor time is limited to 300 s; its answer is waited for
// twice that long, for a machine that is busy with other work.
constexpr int kAnswerWaitMs = 600 * 1000;

using platform::readAll;
using platform::writeAll;

bool writeText(int fd, const std::string& text) {
  const uint32_t size = uint32_t(std::min<std::size_t>(text.size(), kMaxText));
  return writeAll(fd, &size, sizeof size) && writeAll(fd, text.data(), size);
}

bool readText(int fd, std::string& text) {
  uint32_t size = 0;
  if (!readAll(fd, &size, sizeof size, kAnswerWaitMs) || size > kMaxText)
    return false;
  text.resize(size);
  return readAll(fd, text.data(), size, kAnswerWaitMs);
}

// The child: status 0 and the encoded text (EncodeFaxText), or status 2
// and the reason.
[[noreturn]] void runChild(int fd, const std::string& language, const std::string& path) {
  const rlimit cpu{300, 305};
  ::setrlimit(RLIMIT_CPU, &cpu);
  try {
    const std::string text = EncodeFaxText(LoadOcrModuleReader(language)(path));
    ::_exit(writeAll(fd, "\0", 1) && writeText(fd, text) ? 0 : 3);
  } catch (const std::exception& e) {
    writeAll(fd, "\1", 1);
    writeText(fd, e.what());
    ::_exit(2);
  }
}

FaxText readInChild(const std::string& language, const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0)
    throw std::runtime_error("no pipe for reading the fax's text");
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw std::runtime_error("no process for reading the fax's text");
  }
  if (pid == 0) {
    // First of all the child lets go of every file of the program: a table
    // held with flock() stays locked while any process holds it open, and
    // the window may be closing and opening its tables right now.
    const int out = fds[1] == 3 ? 3 : ::dup2(fds[1], 3);
    ::close_range(4, ~0U, 0);
    runChild(out, language, path);
  }
  ::close(fds[1]);
  FaxText text;
  std::string problem;
  char kind = 2;
  std::string encoded;
  bool complete = readAll(fds[0], &kind, 1, kAnswerWaitMs);
  if (complete && kind == 0) {
    complete = readText(fds[0], encoded) && DecodeFaxText(encoded, text);
  } else if (complete) {
    readText(fds[0], problem);
  }
  ::close(fds[0]);
  // A child that has not answered in time is stuck without using its
  // processor time (its limit would have ended it): it is ended here, so
  // that the reader goes on with the next fax.
  if (!complete)
    ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (complete && kind == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return text;
  if (!problem.empty())
    throw std::runtime_error(problem);
  throw std::runtime_error(WIFSIGNALED(status)
                               ? "the OCR engine stopped on this fax (signal " +
                                     std::to_string(WTERMSIG(status)) + ")"
                               : "the OCR engine failed on this fax");
}

} // namespace

TextReader IsolatedOcrReader(const std::string& language) {
  return [language](const std::string& path) { return readInChild(language, path); };
}

} // namespace archive
