#pragma once
// The spelling component: a read-only main dictionary (one or more sections)
// and user dictionaries, word lookup, suggestions and additions. Words are
// Windows-1252 byte strings; letter case does not matter for lookup.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace spell {

class LetterTree;
class UserDictionary;

class TAcropSpell {
public:
  TAcropSpell();
  ~TAcropSpell();
  TAcropSpell(const TAcropSpell&) = delete;
  TAcropSpell& operator=(const TAcropSpell&) = delete;

  // The main dictionary opened on demand when none is open.
  const std::string& DictionaryName() const { return m_dictionaryName; }
  void SetDictionaryName(const std::string& file);
  // Kept for callers that set it; this program does not use it.
  const std::string& DictionaryUser() const { return m_dictionaryUser; }
  void SetDictionaryUser(const std::string& file) { m_dictionaryUser = file; }
  // At most this many suggestions (0 to 220; larger values become 220).
  int MaxSuggestions() const { return m_maxSuggestions; }
  void SetMaxSuggestions(int count);

  // False when a main dictionary is already open, the file cannot be opened
  // or is not a usable main dictionary (LastError() says why).
  bool OpenMainDictionary(const std::string& file);
  // The new dictionary's handle, or -1 (LastError() says why).
  int OpenUserDictionary(const std::string& file);
  // Writes a new user dictionary that knows "A", opens it and adds the words.
  int CreateUserDictionary(const std::string& file, const std::vector<std::string>& words);
  bool IsWordKnown(std::string_view word);
  // At most MaxSuggestions() words, best first, in the letter case of the
  // word as typed. Also kept as LastSuggestions().
  std::vector<std::string> Suggest(std::string_view word);
  // False when the handle is not an open user dictionary, the word is longer
  // than 25 characters or holds a letter no dictionary can hold, the
  // dictionary is full, or the file cannot be written (then it is unchanged).
  bool AddUserWord(std::string_view word, int handle);
  void CloseDictionaries();

  const std::vector<std::string>& LastSuggestions() const { return m_lastSuggestions; }
  // The reason of the last failure to open, read or write a dictionary.
  const std::string& LastError() const { return m_lastError; }
  // Letter trees searched: main dictionary sections, then user dictionaries.
  std::size_t TreeCount() const { return m_trees.size(); }

private:
  // One searched letter tree; user dictionaries carry their handle.
  struct Tree {
    std::unique_ptr<LetterTree> tree;
    UserDictionary* user = nullptr;
    int handle = -1;
  };
  friend class SuggestionRun;

  void prepare();
  bool knownIn(LetterTree& tree, std::string_view capitals);
  bool knownAnywhere(std::string_view capitals, bool plainOnly = false);
  void noteDamage(const std::string& reason);
  UserDictionary* userDictionary(int handle);
  int addUser(std::unique_ptr<UserDictionary> dict);

  std::string m_dictionaryName = "acrop.dct";
  std::string m_dictionaryUser = "custom.dct";
  int m_maxSuggestions = 10;
  std::vector<std::unique_ptr<Tree>> m_trees;
  int m_nextHandle = 0;
  bool m_mainOpen = false;
  bool m_triedDefault = false;
  std::vector<std::string> m_lastSuggestions;
  std::string m_lastError;
};

} // namespace spell
