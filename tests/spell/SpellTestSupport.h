#pragma once
// Temporary folders and small dictionaries for the spelling tests.

#include "spell/DictionaryCompiler.h"
#include "spell/DictionaryFormat.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace spelltest {

// A fresh folder, memory-backed where possible (user dictionaries are synced
// on every addition), removed at the end.
class TempDir {
public:
  TempDir() {
    std::string tmpl = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    tmpl += "/spelltest-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
      std::abort();
    m_path = tmpl;
  }
  ~TempDir() { std::filesystem::remove_all(m_path); }
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Compiles the words into a main dictionary file and returns its path.
inline std::string MakeMainDictionary(const TempDir& dir, const std::vector<std::string>& words,
                                      const std::string& name = "main.dct") {
  spell::CompileStats stats;
  WriteBytes(dir.File(name), spell::CompileMainDictionary(words, "test", stats));
  return dir.File(name);
}

} // namespace spelltest
