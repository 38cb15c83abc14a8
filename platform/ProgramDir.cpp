#include "platform/ProgramDir.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::mutex& dirMutex() {
  static std::mutex m;
  return m;
}

std::optional<std::string>& chosenDir() {
  static std::optional<std::string> dir;
  return dir;
}

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Installed copies live in system folders that root can write to; data files
// there would be shared by every user and lost on the next package upgrade.
bool isSystemFolder(const std::string& dir) {
  for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/lib/"})
    if (dir.rfind(prefix, 0) == 0)
      return true;
  return false;
}

std::string executableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    return {};
  return withTrailingSlash(exe.parent_path().string());
}

std::string xdgDataFolder() {
  std::string home = envValue("HOME");
  if (home.empty())
    home = "/tmp";
  std::string dir = DataFolderOf(home, envValue("XDG_DATA_HOME"));
  std::error_code ec;
  fs::create_directories(dir, ec);
  return dir;
}

std::string automaticDir() {
  std::string home = envValue("TOLVANE_HOME");
  if (!home.empty())
    return withTrailingSlash(home);
  std::string exeDir = executableFolder();
  if (!exeDir.empty() && !isSystemFolder(exeDir) && ::access(exeDir.c_str(), W_OK) == 0)
    return exeDir;
  return xdgDataFolder();
}

} // namespace

std::string withTrailingSlash(std::string_view dir) {
  std::string s(dir);
  if (s.empty() || s.back() != '/')
    s += '/';
  return s;
}

std::string DataFolderOf(std::string_view home, std::string_view xdgDataHome) {
  std::string base(xdgDataHome);
  if (base.empty() || base[0] != '/')
    base = withTrailingSlash(home) + ".local/share";
  return withTrailingSlash(base) + "tolvane/";
}

std::string ProgramDir() {
  std::lock_guard lock(dirMutex());
  auto& dir = chosenDir();
  if (!dir)
    dir = automaticDir();
  return *dir;
}

void setProgramDir(std::string_view dir) {
  std::lock_guard lock(dirMutex());
  if (dir.empty())
    chosenDir().reset();
  else
    chosenDir() = withTrailingSlash(dir);
}

std::string IniFileName() {
  return ProgramDir() + "TOV.INI";
}

} // namespace platform
