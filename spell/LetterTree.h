#pragma once
// The letter trees the spelling component searches: the sections of the
// main dictionary, read from the file through a node cache, and user
// dictionaries, held in memory and rewritten whole on every addition.

#include "spell/DictionaryFormat.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace spell {

class LetterTree {
public:
  virtual ~LetterTree() = default;
  // Node by number, counted from 1. False when the number lies outside the
  // nodes in use or the node cannot be read.
  virtual bool ReadNode(std::uint32_t number, Node& node) = 0;
  virtual std::uint32_t NodesInUse() const = 0;
  virtual bool IsMain() const = 0;
  // Ordinary words, as opposed to names, abbreviations and possessives;
  // only these make up the halves of a split-word suggestion.
  virtual bool HoldsPlainWords() const = 0;
};

// An open main dictionary file, shared by its sections. A file up to the
// memory limit (default 32 MB; the wamerican dictionary is about 1 MB) is
// read whole when opened and its nodes are taken from memory; a bigger one
// stays on disk and its sections read nodes through their block caches.
class MainDictionaryFile {
public:
  ~MainDictionaryFile();
  // Opens the file read-only and reads its section headers. Null with a
  // reason in error when it is not a usable main dictionary.
  static std::shared_ptr<MainDictionaryFile> Open(const std::string& path, std::string& error);
  // Files opened from now on are held in memory up to this size (0: never).
  static void SetMemoryLimit(std::uint64_t bytes);

  // Reads size bytes at offset; the count read, or -1.
  ssize_t ReadAt(void* buffer, std::size_t size, std::uint64_t offset) const;
  // The whole file when held in memory, else empty.
  const std::string& Image() const { return m_image; }
  std::uint64_t Size() const { return m_size; }
  // Section headers in file order, each with the offset of its first node.
  struct Section {
    SectionHeader header;
    std::uint64_t nodesStart = 0;
  };
  const std::vector<Section>& Sections() const { return m_sections; }

private:
  MainDictionaryFile() = default;
  bool readSections(std::uint64_t headerAt, std::string& error);

  int m_fd = -1;
  std::uint64_t m_size = 0;
  std::string m_image;
  std::vector<Section> m_sections;
};

// One section of a main dictionary. From a file on disk, nodes are read in
// blocks of 8 into a cache of 1024 slots, each tagged with the file offset
// of its block.
class MainSection final : public LetterTree {
public:
  MainSection(std::shared_ptr<MainDictionaryFile> file, const MainDictionaryFile::Section& s);
  bool ReadNode(std::uint32_t number, Node& node) override;
  std::uint32_t NodesInUse() const override { return m_header.inUse; }
  bool IsMain() const override { return true; }
  bool HoldsPlainWords() const override { return m_header.kind == kPlainWordsKind; }

private:
  static constexpr std::size_t kSlots = 1024;
  static constexpr std::size_t kBlockNodes = 8;
  struct Slot {
    std::int64_t tag = -1;
    std::uint32_t valid = 0; // bytes read
    std::array<unsigned char, kBlockNodes * kNodeSize> bytes{};
  };

  std::shared_ptr<MainDictionaryFile> m_file;
  SectionHeader m_header;
  std::uint64_t m_nodesStart;
  std::vector<Slot> m_cache;
};

// A user dictionary: one section of kind 0 that grows word by word.
class UserDictionary final : public LetterTree {
public:
  enum class AddResult { Added, AlreadyThere, Refused, WriteFailed };

  // Reads the file; null with a reason when it cannot be used.
  static std::unique_ptr<UserDictionary> Open(const std::string& path, std::string& error);
  // Writes a new dictionary that knows only the word "A".
  static std::unique_ptr<UserDictionary> Create(const std::string& path, std::string& error);

  bool ReadNode(std::uint32_t number, Node& node) override;
  std::uint32_t NodesInUse() const override { return m_header.inUse; }
  bool IsMain() const override { return false; }
  bool HoldsPlainWords() const override { return true; }
  std::uint32_t WordCount() const { return m_header.words; }
  const std::string& Path() const { return m_path; }

  // Reads the file again when another writer changed it since we read it.
  // Lookups look at the file at most every kRecheckInterval (a look costs
  // more than a lookup); an addition always looks, so that it never writes
  // over another writer's words. False with a reason when the file is no
  // longer usable (the dictionary then knows nothing until it is again).
  bool Refresh(std::string& error, bool always = false);
  static constexpr std::chrono::milliseconds kRecheckInterval{200};
  // Adds a word given in capitals. Refused: a letter no dictionary holds,
  // more than 25 characters, or no room below the node limit.
  AddResult AddWord(std::string_view capitals, std::string& error);

private:
  UserDictionary() = default;
  bool load(std::string& error);
  bool save(std::string& error) const;
  std::uint32_t insertNode(std::uint32_t at, const Node& node);
  std::uint32_t findOrAdd(std::uint32_t listStart, int code, bool& added, std::uint32_t parent);

  struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    std::int64_t modified = 0;
    bool operator==(const FileIdentity&) const = default;
  };
  static bool identify(const std::string& path, FileIdentity& id);

  std::string m_path;
  std::string m_preamble; // up to and including the byte 26
  std::string m_tail;     // whatever followed the node slots
  SectionHeader m_header;
  std::vector<Node> m_nodes; // slot i holds node i + 1
  FileIdentity m_identity;
  std::chrono::steady_clock::time_point m_lastLook{};
  bool m_usable = false;
};

} // namespace spell
