// Test harness for fax calls through the simulated modem.

#include "FaxSimHarness.h"
#include "TiffPageIo.h"

#include "faximage/ApfFile.h"
#include "faximage/FaxConverter.h"
#include "faximage/FaxFont.h"
#include "faximage/UnpackerEngine.h"
#include "platform/MainThreadDispatcher.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace faxtest {

namespace {
std::string SimPath() {
  if (const char* p = std::getenv("TOLVANE_MODEMSIM"))
    return p;
  return TOLVANE_BINARY_DIR "/sim/tolvane-modemsim";
}
} // namespace

SimModem::SimModem(const std::string& modemModel, const std::vector<std::string>& args, int speed) {
  char name[] = "/tmp/tolvane-faxsim-XXXXXX";
  m_dir = mkdtemp(name);
  std::vector<std::string> argv = {SimPath(), "--modem",
                                   "com1 model=" + modemModel + " link=" + Link(), "--speed",
                                   std::to_string(speed)};
  for (std::string a : args) {
    for (size_t at = a.find("@DIR@"); at != std::string::npos; at = a.find("@DIR@"))
      a.replace(at, 5, m_dir);
    argv.push_back(a);
  }
  const std::string log = m_dir + "/sim.log";
  m_pid = fork();
  if (m_pid == 0) {
    FILE* out = std::freopen(log.c_str(), "w", stdout);
    (void)out;
    dup2(fileno(stdout), 2);
    std::vector<char*> cargs;
    for (auto& a : argv)
      cargs.push_back(a.data());
    cargs.push_back(nullptr);
    execv(cargs[0], cargs.data());
    _exit(127);
  }
  for (int i = 0; i < 100 && !fs::exists(Link()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!fs::exists(Link())) {
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }
}

SimModem::~SimModem() {
  if (m_pid > 0) {
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
  }
  fs::remove_all(m_dir);
}

std::string SimModem::Device() const {
  std::error_code ec;
  const fs::path real = fs::canonical(Link(), ec);
  return ec ? Link() : real.string();
}

bool SimModem::ModemAnswers() const {
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  platform::PlainEventLoop loop;
  platform::setMainThreadDispatcher(&loop);
  bool ok = false;
  {
    TFxComPort port;
    port.SetDevicePath(Device());
    port.SetOpen(true);
    if (port.Open()) {
      port.SendText("AT\r");
      ok = port.WaitForText("OK", 55, false, false);
      port.SetOpen(false);
    }
  }
  platform::setMainThreadDispatcher(nullptr);
  return ok;
}

void SimModem::Kill() {
  if (m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }
}

std::string SimModem::Log() const {
  std::ifstream in(m_dir + "/sim.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

CallOutcome RunCall(TFxCustomAbstractFax& fax, TFxComPort& port, const std::string& device,
                    const std::function<void()>& begin, int seconds,
                    const std::function<void(TFxCustomAbstractFax&)>& tick, int tickMs,
                    bool keepOpen) {
  platform::PlainEventLoop loop;
  platform::setMainThreadDispatcher(&loop);
  CallOutcome out;
  fax.OnFaxStatus = [&out](TFxCustomAbstractFax& f, bool, bool last) {
    out.statuses.insert(f.ProgressCode());
    out.statusSequence.push_back(f.ProgressCode());
    out.lastEvents += last ? 1 : 0;
  };
  fax.OnFaxError = [&out](TFxCustomAbstractFax&, int code) { out.errors.push_back(code); };
  fax.OnFaxLog = [&out](TFxCustomAbstractFax&, int code) { out.logs.push_back(code); };
  fax.OnFaxFinish = [&](TFxCustomAbstractFax&, int code) {
    out.finished = true;
    out.finishCode = code;
    loop.quit();
  };
  if (!port.Open())
    port.SetDevicePath(device);
  fax.SetComPort(&port);
  port.SetOpen(true);
  begin();
  const auto start = std::chrono::steady_clock::now();
  bool aborted = false;
  while (!out.finished) {
    loop.runFor(std::chrono::milliseconds(tickMs));
    if (tick && !out.finished)
      tick(fax);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (!aborted && elapsed > std::chrono::seconds(seconds)) {
      aborted = true;
      fax.AbortFax();
    }
    if (elapsed > std::chrono::seconds(seconds + 20))
      break;
  }
  if (!keepOpen)
    port.SetOpen(false);
  platform::setMainThreadDispatcher(nullptr);
  return out;
}

std::string MakeApf(const std::string& dir, int pages, int lines, const std::string& stem,
                    bool fine) {
  const std::string text = dir + "/" + stem + ".txt";
  {
    std::ofstream t(text);
    for (int p = 1; p <= pages; ++p)
      for (int l = 1; l <= lines; ++l)
        t << stem << " page " << p << " line " << l << ": the quick brown fox\n";
  }
  faximage::TFxFaxConverter c;
  c.setInputDocumentType(faximage::idText);
  c.setLinesPerPage(unsigned(lines));
  if (fine)
    c.setResolution(faximage::frHigh);
  c.setDocumentFile(text);
  c.setOutFileName(dir + "/" + stem + ".apf");
  c.ConvertDocument();
  return dir + "/" + stem + ".apf";
}

std::vector<std::vector<uint8_t>> HeaderRows(const std::string& text) {
  const faximage::FaxFontFace font(faximage::kFaxFontSmall, false);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < font.cellHeight(); ++y) {
    std::vector<uint8_t> row(216, 0);
    font.drawTextRow(reinterpret_cast<const uint8_t*>(text.data()), text.size(), y, row.data(),
                     row.size(), 0);
    rows.push_back(row);
  }
  return rows;
}

bool BlankRow(const std::vector<uint8_t>& row) {
  return std::all_of(row.begin(), row.end(), [](uint8_t b) { return b == 0; });
}

std::vector<std::string> TiffsIn(const std::string& dir) {
  std::vector<std::string> out;
  if (fs::exists(dir))
    for (auto& e : fs::directory_iterator(dir))
      if (e.path().extension() == ".tif")
        out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::vector<std::vector<uint8_t>>> ApfRows(const std::string& path) {
  faximage::ApfFileHeader header;
  std::vector<std::vector<std::vector<uint8_t>>> pages;
  if (faximage::readApfFileHeader(path, header) != 0)
    return pages;
  faximage::UnpackerEngine engine;
  engine.setWhitespace(0, 0);
  engine.setOption(faximage::kUnpackAsCoded, true);
  for (int n = 1; n <= header.pageCount; ++n) {
    std::vector<std::vector<uint8_t>> rows;
    engine.setOutputRoutine([&rows](bool, bool, const uint8_t* data, int length, int) {
      if (data && length > 0)
        rows.emplace_back(data, data + length);
    });
    engine.unpackPage(path, n);
    pages.push_back(std::move(rows));
  }
  return pages;
}

std::vector<std::vector<std::vector<uint8_t>>> TiffRows(const std::string& path) {
  return tiffpages::ReadPages(path);
}

void WriteTiff(const std::string& path,
               const std::vector<std::vector<std::vector<uint8_t>>>& pages) {
  tiffpages::WritePages(path, pages);
}

namespace {

// The bits of coded data, least significant bit of each byte first.
std::vector<bool> BitsOf(const std::vector<uint8_t>& data) {
  std::vector<bool> bits;
  bits.reserve(data.size() * 8);
  for (uint8_t b : data)
    for (int i = 0; i < 8; ++i)
      bits.push_back((b >> i) & 1);
  return bits;
}

// Empty when the data ends with six EOL codes, walked back from the last
// one bit, which must lie in the last byte.
std::string RtcEndFault(const std::vector<uint8_t>& data) {
  const std::vector<bool> bits = BitsOf(data);
  long at = static_cast<long>(bits.size()) - 1;
  while (at >= 0 && !bits[size_t(at)])
    --at;
  if (at < static_cast<long>(bits.size()) - 8)
    return "bytes after the last one bit";
  for (int eol = 0; eol < 6; ++eol) {
    long zeros = 0;
    for (--at; at >= 0 && !bits[size_t(at)]; --at)
      ++zeros;
    if (zeros < 11)
      return "no RTC at the end (EOL " + std::to_string(6 - eol) + " from the end missing)";
  }
  return "";
}

// EOL codes (eleven zeros or more and a one) in the data.
int EolCount(const std::vector<uint8_t>& data) {
  int eols = 0, zeros = 0;
  for (bool bit : BitsOf(data)) {
    if (!bit) {
      ++zeros;
      continue;
    }
    eols += zeros >= 11 ? 1 : 0;
    zeros = 0;
  }
  return eols;
}

std::string g_tiffWarnings;
void CollectTiffMessage(const char* module, const char* fmt, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  g_tiffWarnings += std::string(module ? module : "") + ": " + text + "\n";
}

// libtiff's warnings decoding `rows` rows of the coded page.
std::string LibtiffWarnings(const std::vector<uint8_t>& data, uint32_t width, uint32_t rows,
                            size_t& decodedRows) {
  char name[] = "/tmp/tolvane-rtc-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0)
    return "no scratch file";
  close(fd);
  g_tiffWarnings.clear();
  TIFFErrorHandler oldWarning = TIFFSetWarningHandler(CollectTiffMessage);
  TIFFErrorHandler oldError = TIFFSetErrorHandler(CollectTiffMessage);
  if (TIFF* out = TIFFOpen(name, "w")) {
    tiffpages::SetFaxPageTags(out, width, rows, 0, 1);
    TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, uint32_t(GROUP3OPT_FILLBITS));
    std::vector<uint8_t> copy = data;
    TIFFWriteRawStrip(out, 0, copy.data(), tmsize_t(copy.size()));
    TIFFWriteDirectory(out);
    TIFFClose(out);
  }
  decodedRows = 0;
  if (TIFF* in = TIFFOpen(name, "r")) {
    std::vector<uint8_t> line(size_t(TIFFScanlineSize(in)) + 8);
    for (uint32_t y = 0; y < rows && TIFFReadScanline(in, line.data(), y, 0) >= 0; ++y)
      ++decodedRows;
    TIFFClose(in);
  }
  TIFFSetWarningHandler(oldWarning);
  TIFFSetErrorHandler(oldError);
  std::remove(name);
  return g_tiffWarnings;
}

} // namespace

std::string ReceivedPageEndFaults(const std::string& apf) {
  faximage::ApfFileHeader header;
  if (faximage::readApfFileHeader(apf, header) != 0)
    return "not an APF file: " + apf + "\n";
  const auto pageRows = ApfRows(apf);
  std::string faults;
  for (unsigned n = 1; n <= unsigned(header.pageCount); ++n) {
    std::vector<uint8_t> data;
    faximage::ApfPageHeader ph;
    if (faximage::readApfPageData(apf, n, data, &ph) != 0) {
      faults += "page " + std::to_string(n) + ": unreadable\n";
      continue;
    }
    const std::string page = "page " + std::to_string(n) + ": ";
    if (std::string f = RtcEndFault(data); !f.empty())
      faults += page + f + "\n";
    const int rows = std::max(0, EolCount(data) - 6);
    size_t decoded = 0;
    const std::string warnings =
        LibtiffWarnings(data, uint32_t(ph.rowWidth()), uint32_t(rows), decoded);
    if (!warnings.empty())
      faults += page + "libtiff: " + warnings;
    if (n <= pageRows.size() && pageRows[n - 1].size() != size_t(rows))
      faults += page + std::to_string(rows) + " rows by their EOL codes, " +
                std::to_string(pageRows[n - 1].size()) + " decoded\n";
  }
  return faults;
}

} // namespace faxtest
