#include "spell/DictionaryLocation.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#ifndef TOLVANE_INSTALL_DICT_DIR
#define TOLVANE_INSTALL_DICT_DIR "/usr/local/share/tolvane"
#endif
#ifndef TOLVANE_BUILD_DICT_DIR
#define TOLVANE_BUILD_DICT_DIR ""
#endif

namespace spell {
namespace {

std::string executableFolder() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0)
    return {};
  std::string path(buffer, static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::vector<std::string> MainDictionaryPlaces(const std::string& programDir) {
  const std::string name = kMainDictionaryFile;
  std::vector<std::string> places{programDir + name};
  const std::string exe = executableFolder();
  if (!exe.empty()) {
    places.push_back(exe + "/" + name);
    places.push_back(exe + "/../share/tolvane/" + name);
  }
  const char* xdg = std::getenv("XDG_DATA_DIRS");
  std::string dirs = xdg && *xdg ? xdg : "/usr/local/share:/usr/share";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
    if (colon > start)
      places.push_back(dirs.substr(start, colon - start) + "/tolvane/" + name);
    start = colon + 1;
  }
  places.push_back(std::string(TOLVANE_INSTALL_DICT_DIR) + "/" + name);
  if (*TOLVANE_BUILD_DICT_DIR)
    places.push_back(std::string(TOLVANE_BUILD_DICT_DIR) + "/" + name);
  return places;
}

std::string FindMainDictionary(const std::string& programDir) {
  for (const std::string& p : MainDictionaryPlaces(programDir))
    if (isFile(p))
      return p;
  return programDir + kMainDictionaryFile;
}

} // namespace spell
