// Child processes, temporary folders and page images for the interop tests.

#include "InteropHarness.h"
#include "TiffPageIo.h"

#include <tiffio.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace interop {

TempDir::TempDir() {
  char name[] = "/tmp/tolvane-interop-XXXXXX";
  m_path = mkdtemp(name) ? name : "";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!m_path.empty())
    fs::remove_all(m_path, ec);
}

Child::Child(const std::vector<std::string>& argv, const std::string& logFile)
    : m_logFile(logFile) {
  m_pid = fork();
  if (m_pid == 0) {
    FILE* out = std::freopen(logFile.c_str(), "w", stdout);
    (void)out;
    dup2(fileno(stdout), 2);
    // A process group of its own, so that terminate() reaches its children.
    setpgid(0, 0);
    // Dies with the test, even when the test is killed before its destructors run.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::vector<std::string> copy = argv;
    std::vector<char*> cargs;
    for (auto& a : copy)
      cargs.push_back(a.data());
    cargs.push_back(nullptr);
    execvp(cargs[0], cargs.data());
    _exit(127);
  }
}

Child::~Child() {
  terminate();
}

int Child::wait(int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (m_pid > 0) {
    int status = 0;
    const pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
      m_pid = -1;
      m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() > end)
      return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return m_status;
}

void Child::terminate() {
  if (m_pid <= 0)
    return;
  ::kill(m_pid, SIGTERM);
  if (wait(3) < 0) {
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
    wait(5);
  }
}

void Child::kill() {
  if (m_pid <= 0)
    return;
  ::kill(-m_pid, SIGKILL);
  ::kill(m_pid, SIGKILL);
  wait(5);
}

double Child::cpuSeconds() const {
  std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The fields after the command name, which is in parentheses.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14)
      utime = std::stoull(field);
    if (i == 15)
      stime = std::stoull(field);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

std::string Child::log() const {
  return readFile(m_logFile);
}

namespace {
std::vector<std::string> withProgram(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {simulatorPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}
} // namespace

Simulator::Simulator(const TempDir& dir, const std::vector<std::string>& args)
    : Child(withProgram(args), dir / "sim.log") {
  for (int i = 0; i < 200 && !m_started; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_started = log().find("] ready") != std::string::npos;
  }
}

std::string simulatorPath() {
  return TOLVANE_BINARY_DIR "/sim/tolvane-modemsim";
}

std::string tolvaneFaxPath() {
  // A benchmark may measure another build of the tool against this one.
  if (const char* other = std::getenv("TOLVANE_FAX_PROGRAM"))
    return other;
  return TOLVANE_BINARY_DIR "/tools/tolvane-fax";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<Page> tiffPages(const std::string& path) {
  return tiffpages::ReadPages(path);
}

void writeTiffPage(const std::string& path, const Page& page) {
  writeTiffPages(path, {page});
}

// libtiff ends a Group 3 strip after the last row, with no RTC. Some readers
// (efax among them) read a page up to its RTC or the end of the file, so they
// take the directory after the strip for more rows. The pages are therefore
// encoded by libtiff into a scratch file and written again with the RTC
// (six byte-aligned EOLs, LSB first) at the end of each strip.
void writeTiffPages(const std::string& path, const std::vector<Page>& pages) {
  const std::string plain = path + ".nortc";
  tiffpages::WritePages(plain, pages);
  TIFF* in = TIFFOpen(plain.c_str(), "r");
  TIFF* out = in ? TIFFOpen(path.c_str(), "w") : nullptr;
  if (!out) {
    if (in)
      TIFFClose(in);
    std::remove(plain.c_str());
    return;
  }
  size_t p = 0;
  do {
    uint32_t width = 0, length = 0;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
    tiffpages::SetFaxPageTags(out, width, length, p, pages.size());
    const tmsize_t size = TIFFRawStripSize(in, 0);
    std::vector<uint8_t> strip(size_t(size > 0 ? size : 0));
    if (size > 0)
      TIFFReadRawStrip(in, 0, strip.data(), size);
    for (int eol = 0; eol < 6; ++eol) {
      strip.push_back(0x00);
      strip.push_back(0x08);
    }
    TIFFWriteRawStrip(out, 0, strip.data(), tmsize_t(strip.size()));
    TIFFWriteDirectory(out);
    ++p;
  } while (TIFFReadDirectory(in));
  TIFFClose(in);
  TIFFClose(out);
  std::remove(plain.c_str());
}

long tiffCodedBytes(const std::string& path) {
  long total = 0;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif)
    return 0;
  do {
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(tif); ++s)
      total += long(TIFFRawStripSize(tif, s));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return total;
}

Page readPbm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0;
  in >> magic >> width >> height;
  in.get();
  Page page;
  if (magic != "P4" || width <= 0 || height <= 0)
    return page;
  const size_t stride = size_t(width + 7) / 8;
  for (int y = 0; y < height && in; ++y) {
    Row r(stride);
    in.read(reinterpret_cast<char*>(r.data()), std::streamsize(stride));
    page.push_back(std::move(r));
  }
  return page;
}

std::vector<Page> exportApf(const std::string& apf, const TempDir& scratch) {
  std::vector<Page> pages;
  for (int n = 1; n < 100; ++n) {
    const std::string page = scratch / ("export-" + std::to_string(n) + ".pbm");
    std::remove(page.c_str());
    const std::string command = tolvaneFaxPath() + " export '" + apf + "' '" + page +
                                "' --format pbm --as-coded --page " + std::to_string(n) +
                                " > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(page))
      break;
    pages.push_back(readPbm(page));
  }
  return pages;
}

std::vector<long> apfPageBytes(const std::string& apf) {
  std::vector<long> bytes;
  FILE* p = popen((tolvaneFaxPath() + " info '" + apf + "'").c_str(), "r");
  if (!p)
    return bytes;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    unsigned n = 0;
    unsigned long long at = 0;
    long size = 0;
    if (std::sscanf(line, "Page %u: header at %llu, %ld bytes", &n, &at, &size) == 3)
      bytes.push_back(size);
  }
  pclose(p);
  return bytes;
}

Page makePage(int seed, int rows) {
  Page page(size_t(rows), Row(216, 0));
  // Lines of "text": 12-row glyph blocks with 8 blank rows between, in 40
  // columns, starting below a 60-row blank margin.
  for (int y = 60; y + 12 < rows - 20; y += 20)
    for (int g = 0; g < 40; ++g) {
      const unsigned h = unsigned(seed * 7919 + y * 31 + g * 131) * 2654435761u;
      if ((h >> 28) < 3)
        continue; // a space
      for (int dy = 0; dy < 12; ++dy)
        for (int b = 0; b < 4; ++b)
          if ((h >> (dy + b * 3)) & 1)
            page[size_t(y + dy)][size_t(8 + g * 5 + b)] = 0xFF;
    }
  return page;
}

namespace {
bool inked(const Row& r) {
  for (uint8_t b : r)
    if (b)
      return true;
  return false;
}
int blackPixels(const Row& r) {
  int n = 0;
  for (uint8_t b : r)
    n += __builtin_popcount(b);
  return n;
}
Row widthOf(Row r, size_t bytes) {
  r.resize(bytes, 0);
  return r;
}
} // namespace

std::string compareRows(const Page& sent, const Page& received, size_t bandRows) {
  size_t first = 0, last = sent.size();
  while (first < sent.size() && !inked(sent[first]))
    ++first;
  while (last > first && !inked(sent[last - 1]))
    --last;
  if (first == last)
    return "the sent page has no ink";
  const size_t count = last - first;
  const size_t width = sent[first].size();
  for (size_t at = 0; at + count <= received.size(); ++at) {
    bool same = true;
    for (size_t i = 0; i < count && same; ++i)
      same = widthOf(received[at + i], width) == widthOf(sent[first + i], width);
    if (!same)
      continue;
    for (size_t y = 0; y < received.size(); ++y)
      if ((y < at || y >= at + count) && y >= bandRows && inked(received[y]))
        return "stray ink in received row " + std::to_string(y) + " of " +
               std::to_string(received.size()) + " (" + std::to_string(blackPixels(received[y])) +
               " black pixels); the page matched at row " + std::to_string(at);
    return "";
  }
  return "the " + std::to_string(count) + " inked rows sent are not found among the " +
         std::to_string(received.size()) + " rows received";
}

} // namespace interop
