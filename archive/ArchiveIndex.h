#pragma once
// The full-text index of the received faxes: an SQLite database with an FTS5
// table beside the fax tables (archive.sqlite in the data folder). It holds
// only what can be read again from the fax files, keyed by the file's name
// in receive/ (the Received table's FAXFILE), or "sent/" and the key of a
// sent fax, with the size and time of the file read so that a changed file
// is read again. Beside the text it keeps where each word stands. A damaged file is replaced by an
// empty index on opening, which the OCR worker then fills from the faxes.

#include "archive/WordBoxes.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

struct sqlite3;

namespace archive {

struct FaxText;

class IndexError : public std::runtime_error {
public:
  IndexError(const std::string& what, bool damaged) : std::runtime_error(what), m_damaged(damaged) {}
  // The database file is damaged (not merely locked or unwritable).
  bool Damaged() const { return m_damaged; }

private:
  bool m_damaged;
};

// The file as it was when its text was read.
struct FileStamp {
  int64_t Size = 0;
  int64_t MTime = 0; // nanoseconds
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
// The stamp of a file on disk; Size -1 when it cannot be read.
FileStamp StampOf(const std::string& path);

class ArchiveIndex {
public:
  // Opens or creates the index. A file that is not a database, or with
  // verify one that fails the integrity checks, is deleted and a new empty
  // index made (Rebuilt()). Damage found later raises IndexError::Damaged.
  explicit ArchiveIndex(const std::string& path, bool verify = false);
  ~ArchiveIndex();
  ArchiveIndex(const ArchiveIndex&) = delete;
  ArchiveIndex& operator=(const ArchiveIndex&) = delete;

  bool Rebuilt() const { return m_rebuilt; }
  // Deletes the index files, so that the next opening starts afresh.
  static void Discard(const std::string& path);
  const std::string& Path() const { return m_path; }

  // True when the index holds the text of this file as it is now.
  bool IsCurrent(const std::string& name, const FileStamp& stamp);
  // Replaces whatever the index held for the file.
  void Store(const std::string& name, const FileStamp& stamp, const FaxText& text);
  void Remove(const std::string& name);
  std::vector<std::string> Names();
  int Count();

  // Names of the faxes whose text or remote ID holds every word of `words`
  // (each as the start of a word; case and accents ignored), newest first.
  std::vector<std::string> Search(const std::string& words);
  // Names of the faxes holding one word (or a word starting with it).
  std::unordered_set<std::string> NamesWithWord(const std::string& word);
  // The text of page n (from 1); empty when not indexed.
  std::string PageText(const std::string& name, int page);
  // Where the words of the fax stand (name in any letter case); empty when
  // the fax is not indexed or its boxes cannot be read.
  std::vector<PageWords> Words(const std::string& name);

private:
  void Open();
  void OpenTables();
  void Check();
  int Version();
  void Exec(const char* sql);
  [[noreturn]] void Fail(const char* what, int code);

  std::string m_path;
  sqlite3* m_db = nullptr;
  bool m_rebuilt = false;
  bool m_opening = false; // errors now are errors of the file
};

// The FTS5 query for the user's words: each word as a quoted prefix term,
// all required. Empty when the text holds no word.
std::string MatchQuery(const std::string& words);

} // namespace archive
