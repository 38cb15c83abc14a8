// Throughput and trigger latency of the serial port layer over a
// pseudo-terminal, each measured beside a plain read/write loop over the same
// kind of pseudo-terminal pair in the same run.
//
// Throughput: the far end (master) echoes everything back, so bytes go
// SendBlock -> writer thread -> device -> echo -> device -> dispatcher ->
// ReadByte; the plain loop writes and reads the slave descriptor itself
// against the same echo.

#include "serial/ComPort.h"
#include "serial/UucpLock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kRoundTrip = 1u << 20;

struct Pty {
  int master = -1;
  std::string slave;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::grantpt(master);
    ::unlockpt(master);
    slave = ::ptsname(master);
  }
  ~Pty() { ::close(master); }
};

// Copies everything the master reads back into it until stopped.
class Echo {
public:
  explicit Echo(int fd) : m_fd(fd), m_thread([this] { run(); }) {}
  ~Echo() {
    m_stop = true;
    m_thread.join();
  }

private:
  void run() {
    ::pthread_setname_np(::pthread_self(), "echo");
    std::vector<uint8_t> buf(65536);
    while (!m_stop) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0)
        continue;
      ssize_t n = ::read(m_fd, buf.data(), buf.size());
      for (ssize_t off = 0; n > 0 && off < n;) {
        ssize_t w = ::write(m_fd, buf.data() + off, static_cast<size_t>(n - off));
        if (w > 0)
          off += w;
      }
    }
  }
  int m_fd;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// Processor milliseconds each thread of this process has used, by name
// (threads of one name summed).
std::map<std::string, double> threadCpuMs() {
  std::map<std::string, double> ms;
  DIR* dir = ::opendir("/proc/self/task");
  while (dir) {
    const dirent* e = ::readdir(dir);
    if (!e)
      break;
    if (e->d_name[0] == '.')
      continue;
    const std::string task = std::string("/proc/self/task/") + e->d_name;
    std::ifstream commFile(task + "/comm"), statFile(task + "/schedstat");
    std::string comm;
    double ns = 0;
    std::getline(commFile, comm);
    statFile >> ns;
    ms[comm] += ns / 1e6;
  }
  if (dir)
    ::closedir(dir);
  return ms;
}

double processCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int openRawNonBlocking(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// The peer: one thread writes and reads the slave descriptor itself.
class PlainEnd {
public:
  PlainEnd() : m_fd(openRawNonBlocking(m_pty.slave)), m_echo(m_pty.master) {}
  ~PlainEnd() { ::close(m_fd); }

  void roundTrip() {
    size_t sent = 0, received = 0;
    while (received < kRoundTrip) {
      pollfd p{m_fd, static_cast<short>(POLLIN | (sent < kRoundTrip ? POLLOUT : 0)), 0};
      ::poll(&p, 1, 100);
      if (sent < kRoundTrip && (p.revents & POLLOUT)) {
        ssize_t w = ::write(m_fd, m_out.data(), std::min(m_out.size(), kRoundTrip - sent));
        sent += static_cast<size_t>(std::max<ssize_t>(w, 0));
      }
      if (p.revents & POLLIN) {
        ssize_t r = ::read(m_fd, m_in.data(), m_in.size());
        received += static_cast<size_t>(std::max<ssize_t>(r, 0));
      }
    }
  }

private:
  Pty m_pty;
  int m_fd;
  Echo m_echo;
  std::vector<uint8_t> m_out = std::vector<uint8_t>(4096, 0x55), m_in = std::vector<uint8_t>(65536);
};

// Ours: SendBlock in blocks of 4096 as space allows, ReadByte for every byte.
class PortEnd {
public:
  PortEnd() {
    serial::PortConfig config;
    config.devicePath = m_pty.slave;
    config.inSize = config.outSize = 8192;
    m_ok = m_port.open(config) > 0;
  }
  bool ok() const { return m_ok; }

  void roundTrip() {
    size_t sent = 0, received = 0;
    while (received < kRoundTrip) {
      size_t n =
          std::min({static_cast<size_t>(m_port.outputSpace()), m_out.size(), kRoundTrip - sent});
      if (n && m_port.sendBlock(m_out.data(), n) == 0)
        sent += n;
      uint8_t b;
      size_t got = 0;
      while (m_port.readByte(b) == 0)
        ++got;
      received += got;
      if (!n && !got)
        m_port.waitForInput(1);
    }
  }

private:
  Pty m_pty;
  serial::ComPort m_port;
  bool m_ok = false;
  Echo m_echo{m_pty.master};
  std::vector<uint8_t> m_out = std::vector<uint8_t>(4096, 0x55);
};

void BM_PlainLoopThroughput(benchmark::State& state) {
  PlainEnd plain;
  for (auto _ : state)
    plain.roundTrip();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRoundTrip));
}

void BM_PortThroughput(benchmark::State& state) {
  PortEnd port;
  if (!port.ok()) {
    state.SkipWithError("open failed");
    return;
  }
  const auto before = threadCpuMs();
  for (auto _ : state)
    port.roundTrip();
  // Where the time goes: processor milliseconds per megabyte of each thread.
  for (const auto& [name, ms] : threadCpuMs()) {
    const auto it = before.find(name);
    state.counters[name + "_ms"] =
        (ms - (it == before.end() ? 0 : it->second)) / static_cast<double>(state.iterations());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRoundTrip));
}

// Both paths in turn within each iteration, so that load from other programs
// on the machine falls on both alike; the ratio is the figure to watch.
void BM_ThroughputRatio(benchmark::State& state) {
  PlainEnd plain;
  PortEnd port;
  if (!port.ok()) {
    state.SkipWithError("open failed");
    return;
  }
  using Clock = std::chrono::steady_clock;
  double plainSeconds = 0, portSeconds = 0, plainCpu = 0, portCpu = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const double c0 = processCpuSeconds();
    plain.roundTrip();
    const auto t1 = Clock::now();
    const double c1 = processCpuSeconds();
    port.roundTrip();
    const auto t2 = Clock::now();
    const double c2 = processCpuSeconds();
    plainSeconds += std::chrono::duration<double>(t1 - t0).count();
    portSeconds += std::chrono::duration<double>(t2 - t1).count();
    plainCpu += c1 - c0;
    portCpu += c2 - c1;
  }
  const double mb = static_cast<double>(state.iterations() * kRoundTrip) / 1e6;
  state.counters["plain_MBps"] = mb / plainSeconds;
  state.counters["port_MBps"] = mb / portSeconds;
  state.counters["ratio"] = plainSeconds / portSeconds;
  // Processor time of all our threads per megabyte: less sensitive than
  // wall time to what else the machine runs.
  state.counters["plain_cpu_ms_MB"] = 1000 * plainCpu / mb;
  state.counters["port_cpu_ms_MB"] = 1000 * portCpu / mb;
}

// Latency from a byte written at the far end to the moment a reader learns of it.
void reportLatency(benchmark::State& state, std::vector<double>& us) {
  if (us.empty())
    return;
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void BM_PlainPollLatency(benchmark::State& state) {
  Pty pty;
  int fd = openRawNonBlocking(pty.slave);
  std::vector<double> us;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    uint8_t b = 'x';
    [[maybe_unused]] auto w = ::write(pty.master, &b, 1);
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, 1000);
    us.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    [[maybe_unused]] auto r = ::read(fd, &b, 1);
  }
  reportLatency(state, us);
  ::close(fd);
}

void BM_AvailTriggerLatency(benchmark::State& state) {
  Pty pty;
  serial::ComPort port;
  serial::PortConfig config;
  config.devicePath = pty.slave;
  if (port.open(config) < 0) {
    state.SkipWithError("open failed");
    return;
  }
  std::mutex m;
  std::condition_variable cv;
  std::chrono::steady_clock::time_point arrived;
  bool got = false;
  port.addTriggerHandler(TriggerHandlerKind::Procedure, [&](uint32_t msg, uint32_t, int32_t) {
    if (msg != TriggerAvailMsg)
      return;
    std::lock_guard lock(m);
    arrived = std::chrono::steady_clock::now();
    got = true;
    cv.notify_all();
  });
  std::vector<double> us;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    uint8_t b = 'x';
    [[maybe_unused]] auto w = ::write(pty.master, &b, 1);
    std::unique_lock lock(m);
    cv.wait_for(lock, std::chrono::seconds(1), [&] { return got; });
    us.push_back(std::chrono::duration<double, std::micro>(arrived - t0).count());
    got = false;
    lock.unlock();
    port.readByte(b);
  }
  reportLatency(state, us);
}

} // namespace

BENCHMARK(BM_PlainLoopThroughput)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PortThroughput)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ThroughputRatio)->Unit(benchmark::kMillisecond)->MinTime(4.0)->UseRealTime();
BENCHMARK(BM_PlainPollLatency)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_AvailTriggerLatency)->Unit(benchmark::kMicrosecond)->Iterations(2000);

BENCHMARK_MAIN();
