// First byte even: the rest is what the user typed into the search field,
// searched in a small index. Odd: the rest is the index file as found on
// disk, opened with the integrity check and used, word boxes included.
// Either way the only failure allowed is an IndexError.
#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string scratchPath() {
  static const std::string path = "/tmp/fuzz-archive-" + std::to_string(getpid()) + ".sqlite";
  return path;
}

void useIndex(archive::ArchiveIndex& index, const std::string& words) {
  index.Search(words);
  for (const std::string& name : index.Names()) {
    index.PageText(name, 1);
    index.NamesWithWord(name);
    archive::MatchingWords(index.Words(name), {"order", "page"});
  }
  index.Count();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = scratchPath();
  archive::ArchiveIndex::Discard(path);
  try {
    if ((data[0] & 1) == 0) {
      archive::ArchiveIndex index(path);
      index.Store("FAX00001.APF", {1, 1},
                  {"REMOTE", {"near the order or not", "page two"},
                   {{1728, 2200, {{10, 20, 30, 40, "order"}}}, {1728, 2200, {}}}});
      useIndex(index, rest);
    } else {
      if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(rest.data(), 1, rest.size(), f);
        std::fclose(f);
      }
      archive::ArchiveIndex index(path, true);
      useIndex(index, "order page");
      index.Store("FAX00002.APF", {2, 2}, {"", {"more text"}});
    }
  } catch (const archive::IndexError&) {
  }
  archive::ArchiveIndex::Discard(path);
  return 0;
}
