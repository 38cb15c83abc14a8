#include "send/SerialDevices.h"

#include "platform/PortDevices.h"
#include "serial/UucpLock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace faxsend {

namespace {

std::vector<std::string> devicesMatching(const std::string& prefix) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/dev", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.size() > prefix.size())
      out.push_back(e.path().string());
  }
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return out;
}

// A /dev/ttyS port exists on every PC whether or not a UART is behind it;
// the kernel reports the UART type (0 = none) in sysfs.
bool hasUart(const std::string& device) {
  const std::string name = fs::path(device).filename().string();
  std::ifstream type("/sys/class/tty/" + name + "/type");
  int t = 0;
  return type >> t && t != 0;
}

std::string realPath(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::string processName(long pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

bool processAlive(long pid) {
  return pid > 0 && fs::exists("/proc/" + std::to_string(pid));
}

long lockFilePid(const std::string& device) {
  std::ifstream lock(serial::UucpLock::lockDir() + "/" + serial::UucpLock::lockFileName(device));
  long pid = 0;
  return lock >> pid ? pid : 0;
}

long processWithDeviceOpen(const std::string& real) {
  std::error_code ec;
  const long self = static_cast<long>(::getpid());
  for (const auto& proc : fs::directory_iterator("/proc", ec)) {
    const std::string name = proc.path().filename().string();
    char* end = nullptr;
    const long pid = std::strtol(name.c_str(), &end, 10);
    if (*end != '\0' || pid == self)
      continue;
    std::error_code fdEc;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdEc)) {
      std::error_code linkEc;
      if (fs::read_symlink(fd.path(), linkEc).string() == real)
        return pid;
    }
  }
  return 0;
}

const char* kProbeServiceAdvice =
    " ModemManager, which runs on many desktops, opens USB modems as soon as they are "
    "plugged in to probe them. To keep it off this modem, stop it (\"sudo systemctl stop "
    "ModemManager\") or add a udev rule for the modem with ENV{ID_MM_DEVICE_IGNORE}=\"1\".";

} // namespace

std::vector<std::string> PresentSerialDevices() {
  std::vector<std::string> out;
  std::error_code ec;
  std::vector<std::string> byId;
  for (const auto& e : fs::directory_iterator("/dev/serial/by-id", ec))
    byId.push_back(e.path().string());
  std::sort(byId.begin(), byId.end());
  out.insert(out.end(), byId.begin(), byId.end());
  for (const char* prefix : {"ttyACM", "ttyUSB"}) {
    const auto found = devicesMatching(prefix);
    out.insert(out.end(), found.begin(), found.end());
  }
  for (const auto& device : devicesMatching("ttyS"))
    if (hasUart(device))
      out.push_back(device);
  return out;
}

std::string ComDevice(int comNumber) {
  return platform::PortDevicePath(comNumber);
}

std::string ComDeviceText(int comNumber) {
  if (comNumber < platform::FirstComPort || comNumber > platform::LastComPort)
    return "No port selected";
  return "Com" + std::to_string(comNumber) + " is " + ComDevice(comNumber);
}

DeviceHolder FindDeviceHolder(const std::string& device) {
  DeviceHolder holder;
  long pid = lockFilePid(device);
  if (pid == static_cast<long>(::getpid()) || !processAlive(pid))
    pid = processWithDeviceOpen(realPath(device));
  if (pid > 0) {
    holder.pid = pid;
    holder.program = processName(pid);
  }
  return holder;
}

bool IsUsbSerialDevice(const std::string& device) {
  const std::string real = realPath(device);
  return device.rfind("/dev/serial/by-id/", 0) == 0 || real.rfind("/dev/ttyACM", 0) == 0 ||
         real.rfind("/dev/ttyUSB", 0) == 0;
}

std::string DeviceTroubleText(const std::string& device) {
  if (device.empty() || ::access(device.c_str(), F_OK) != 0)
    return {};
  if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
    return "You may not open " + device +
           ". Serial devices belong to the group dialout: add yourself to it with "
           "\"sudo usermod -aG dialout $USER\", then log out and in again.";
  const DeviceHolder holder = FindDeviceHolder(device);
  std::string text;
  if (holder.pid > 0) {
    text = device + " is held by " + (holder.program.empty() ? "a program" : holder.program) +
           " (process " + std::to_string(holder.pid) + ").";
    if (holder.program.find("ModemManager") != std::string::npos)
      text += kProbeServiceAdvice;
  } else if (IsUsbSerialDevice(device)) {
    text = "Another program may hold " + device + "." + kProbeServiceAdvice;
  }
  return text;
}

} // namespace faxsend
