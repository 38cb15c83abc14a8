#include "SimProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <tiffio.h>
#include <unistd.h>

namespace tolvane::sim::test {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

SimProcess::SimProcess(std::vector<std::string> args) {
  char tmpl[] = "/tmp/tolvane-simtest-XXXXXX";
  if (!mkdtemp(tmpl))
    throw std::runtime_error("mkdtemp failed");
  m_dir = tmpl;
  for (auto& a : args)
    for (size_t p; (p = a.find('@')) != std::string::npos;)
      a.replace(p, 1, m_dir);
  std::string logPath = m_dir + "/sim.log";
  m_pid = fork();
  if (m_pid == 0) {
    int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> argv{const_cast<char*>(TOLVANE_MODEMSIM)};
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (!waitForLog("] ready", 10))
    throw std::runtime_error("simulator did not start: " + log());
}

SimProcess::~SimProcess() {
  stop();
  std::error_code ec;
  if (!std::getenv("TOLVANE_KEEP_SIMTEST"))
    std::filesystem::remove_all(m_dir, ec);
}

std::string SimProcess::log() const {
  return readFile(m_dir + "/sim.log");
}

bool SimProcess::waitForLog(const std::string& text, double seconds) const {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (log().find(text) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void SimProcess::control(const std::string& line) const {
  std::ofstream(m_dir + "/ctl") << line << "\n";
}

bool SimProcess::running() const {
  return m_pid > 0 && kill(m_pid, 0) == 0 && waitpid(m_pid, nullptr, WNOHANG) == 0;
}

int SimProcess::stop() {
  if (m_pid <= 0)
    return -1;
  kill(m_pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100; ++i) {
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(m_pid, SIGKILL);
  waitpid(m_pid, &status, 0);
  m_pid = -1;
  return -1;
}

EfaxRun runEfax(const std::string& args, int timeoutSeconds, const std::string& logPath) {
  std::string cmd = "timeout -s KILL " + std::to_string(timeoutSeconds) + " efax " + args + " > '" +
                    logPath + "' 2>&1";
  int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, readFile(logPath)};
}

std::vector<std::vector<unsigned char>> inkedRows(const std::string& path, int page) {
  std::vector<std::vector<unsigned char>> rows;
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif)
    return rows;
  if (TIFFSetDirectory(tif, static_cast<tdir_t>(page))) {
    uint32_t length = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
    std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    for (uint32_t r = 0; r < length; ++r) {
      if (TIFFReadScanline(tif, row.data(), r, 0) < 0)
        break;
      rows.push_back(row);
    }
  }
  TIFFClose(tif);
  auto blank = [](const std::vector<unsigned char>& r) {
    return std::all_of(r.begin(), r.end(), [](unsigned char b) { return b == 0; });
  };
  while (!rows.empty() && blank(rows.back()))
    rows.pop_back();
  auto first = std::find_if_not(rows.begin(), rows.end(), blank);
  rows.erase(rows.begin(), first);
  return rows;
}

} // namespace tolvane::sim::test
