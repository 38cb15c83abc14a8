#include "archive/OcrModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>

namespace archive {

TextReader LoadOcrModuleReader(const std::string& language) {
  using MakeFn = TextReader (*)(const std::string&);
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  const std::string path = n > 0 ? std::string(exe, std::size_t(n)) : std::string();
  const std::string here = path.substr(0, path.rfind('/') + 1);
  std::vector<std::string> candidates = {here + "libtolvane_ocr.so",
                                         here + "../" TOLVANE_LIBDIR "/tolvane/libtolvane_ocr.so"};
#ifdef TOLVANE_OCR_BUILD_PATH
  candidates.push_back(TOLVANE_OCR_BUILD_PATH);
#endif
  for (const std::string& candidate : candidates)
    if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL))
      if (void* fn = ::dlsym(module, "tolvane_ocr_text_reader"))
        return reinterpret_cast<MakeFn>(fn)(language);
  throw std::runtime_error("The OCR module of this program is missing (libtolvane_ocr.so); "
                           "reinstall the program.");
}

} // namespace archive
