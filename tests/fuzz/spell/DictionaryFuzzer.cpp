// Feeds arbitrary bytes to the dictionary readers as a main dictionary and as
// a user dictionary: opening, lookup, suggestions and an addition must finish
// without a crash or a hang, and a word reported added must be found again
// when the file is read anew.
#include "spell/LetterTree.h"
#include "spell/TAcropSpell.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string g_dir;

bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void exercise(spell::TAcropSpell& s) {
  for (const char* w : {"AB", "ABC", "HOUSE", "JOHN'S", "Recieve", "zzzz"}) {
    s.IsWordKnown(w);
    s.Suggest(w);
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Memory-backed when possible: every run writes two files and syncs one.
  char shm[] = "/dev/shm/fuzz-spell-XXXXXX";
  char tmp[] = "/tmp/fuzz-spell-XXXXXX";
  char* tmpl = ::access("/dev/shm", W_OK) == 0 ? shm : tmp;
  if (!::mkdtemp(tmpl))
    std::abort();
  g_dir = tmpl;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string main = g_dir + "/main.dct", user = g_dir + "/user.dct";
  if (!writeFile(main, data, size) || !writeFile(user, data, size))
    std::abort();
  // Held in memory, then read from disk through the node caches.
  for (const std::uint64_t limit : {std::uint64_t(1) << 20, std::uint64_t(0)}) {
    spell::MainDictionaryFile::SetMemoryLimit(limit);
    spell::TAcropSpell s;
    s.SetMaxSuggestions(5);
    if (s.OpenMainDictionary(main))
      exercise(s);
  }
  bool added = false;
  {
    spell::TAcropSpell s;
    const int handle = s.OpenUserDictionary(user);
    if (handle >= 0) {
      exercise(s);
      added = s.AddUserWord("Quixotry", handle);
    }
  }
  if (added) {
    spell::TAcropSpell again;
    if (again.OpenUserDictionary(user) < 0 || !again.IsWordKnown("QUIXOTRY"))
      std::abort(); // an added word must survive its own file
  }
  return 0;
}
