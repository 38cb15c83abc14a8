// One document import fuzz target per kind: the input gets the kind's
// signature when it lacks it (so that libFuzzer does not spend its time on
// files the kind check refuses), goes through a file as a user's would, and
// every page is made. Only ImportError may come out.

#include "docimport/DocumentImport.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

#if defined(FUZZ_KIND_PDF)
const char kMagic[] = "%PDF-";
#elif defined(FUZZ_KIND_PNG)
const char kMagic[] = "\x89PNG\r\n\x1a\n";
#elif defined(FUZZ_KIND_JPEG)
const char kMagic[] = "\xff\xd8\xff";
#else
const char kMagic[] = "II*";
#endif

const std::string& scratchFile() {
  static const std::string path =
      "/tmp/fuzz-docimport-" + std::to_string(::getpid()) + std::string(".bin");
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::size_t magic = sizeof kMagic - 1 + (kMagic[0] == 'I' ? 1 : 0);
  std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
  if (!f)
    return 0;
  if (size < magic || std::memcmp(data, kMagic, magic) != 0)
    std::fwrite(kMagic, 1, magic, f);
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  docimport::ImportOptions options;
  // Small limits and a small page keep each run short; the code paths are
  // those of a full-size page.
  options.maxPages = 4;
  options.maxSourcePixels = 4'000'000;
  options.grid = docimport::FaxGrid{256, 204.0, 196.0, 512};
  options.halftone = size % 3 == 0   ? docimport::Halftone::Diffuse
                     : size % 3 == 1 ? docimport::Halftone::Threshold
                                     : docimport::Halftone::Auto;
  options.resolution = size % 2 ? docimport::FaxResolution::Normal : docimport::FaxResolution::Auto;
  try {
    docimport::importPages(scratchFile(), options, [](docimport::FaxPage&& page) {
      if (page.bitmap.width() != 256)
        __builtin_trap();
    });
  } catch (const docimport::ImportError&) {
  }
  return 0;
}
