// The forward journal's text as found on disk: parsed, written back and
// read again, which must give the same list.
#include "archive/ForwardJournal.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto pending =
      archive::ParseForwardJournal(std::string(reinterpret_cast<const char*>(data), size));
  static const std::string path = "/tmp/fuzz-journal-" + std::to_string(getpid()) + ".txt";
  if (archive::WriteForwardJournal(path, pending) && archive::ReadForwardJournal(path) != pending)
    std::abort();
  archive::WriteForwardJournal(path, {});
  return 0;
}
