#pragma once
// Child processes, temporary folders and page images for the tests that run
// Tolvane against independent fax software over the simulated phone line.

#include <string>
#include <sys/types.h>
#include <vector>

namespace interop {

using Row = std::vector<uint8_t>; // 1 bits are black, first pixel in the top bit
using Page = std::vector<Row>;

// A folder under /tmp that is removed with everything in it.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
  std::string m_path;
};

// A program run with stdout and stderr in a log file. The destructor
// terminates it (SIGTERM, then SIGKILL) if it is still running.
class Child {
public:
  Child(const std::vector<std::string>& argv, const std::string& logFile);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // The exit status, or -1 if the program is still running after `seconds`.
  int wait(int seconds);
  void terminate();
  // Ends it at once with SIGKILL (a simulator's pseudo-terminals then close
  // under the programs using them, as an unplugged modem's port does).
  void kill();
  pid_t pid() const { return m_pid; }
  // Its processor time so far (user and system), in seconds.
  double cpuSeconds() const;
  std::string log() const;

private:
  pid_t m_pid = -1;
  int m_status = -1;
  std::string m_logFile;
};

// The simulator with its log in `dir`; `args` follow the program name.
// started() is true once it has printed "ready".
class Simulator : public Child {
public:
  Simulator(const TempDir& dir, const std::vector<std::string>& args);
  bool started() const { return m_started; }

private:
  bool m_started = false;
};

std::string simulatorPath();
std::string tolvaneFaxPath();
std::string readFile(const std::string& path);

// Pages of a bilevel TIFF as decoded by libtiff.
std::vector<Page> tiffPages(const std::string& path);
// A one-page G3 TIFF at 204x98 dpi, 1728 pixels wide.
void writeTiffPage(const std::string& path, const Page& page);
void writeTiffPages(const std::string& path, const std::vector<Page>& pages);
// Coded data bytes of all pages of a TIFF file.
long tiffCodedBytes(const std::string& path);
// A raw PBM (P4) image.
Page readPbm(const std::string& path);
// Every page of an APF file, exported as coded by tolvane-fax to PBM files.
std::vector<Page> exportApf(const std::string& apf, const TempDir& scratch);
// Coded data bytes of every page of an APF file, as tolvane-fax info reports them.
std::vector<long> apfPageBytes(const std::string& apf);

// A test page: text-like blocks of ink below a blank top margin.
Page makePage(int seed, int rows = 520);

// Empty when `received` holds the inked rows of `sent` (first to last
// inked row) contiguously, with nothing else inked except a header band in
// the first `bandRows` rows; otherwise what differs.
std::string compareRows(const Page& sent, const Page& received, size_t bandRows);

} // namespace interop
