#include "spell/TAcropSpell.h"

#include "spell/LetterTree.h"
#include "spell/Letters.h"

#include <algorithm>

namespace spell {

namespace {
constexpr int kMostSuggestions = 220;
constexpr int kLastHandle = 65534;
} // namespace

TAcropSpell::TAcropSpell() = default;
TAcropSpell::~TAcropSpell() = default;

void TAcropSpell::SetDictionaryName(const std::string& file) {
  m_dictionaryName = file;
  m_triedDefault = false;
}

void TAcropSpell::SetMaxSuggestions(int count) {
  m_maxSuggestions = std::clamp(count, 0, kMostSuggestions);
}

bool TAcropSpell::OpenMainDictionary(const std::string& file) {
  if (m_mainOpen) {
    m_lastError = "a main dictionary is already open";
    return false;
  }
  std::string error;
  std::shared_ptr<MainDictionaryFile> dict = MainDictionaryFile::Open(file, error);
  if (!dict) {
    m_lastError = error;
    return false;
  }
  // Main sections are searched before any user dictionary.
  std::vector<std::unique_ptr<Tree>> sections;
  for (const MainDictionaryFile::Section& s : dict->Sections()) {
    auto t = std::make_unique<Tree>();
    t->tree = std::make_unique<MainSection>(dict, s);
    sections.push_back(std::move(t));
  }
  m_trees.insert(m_trees.begin(), std::make_move_iterator(sections.begin()),
                 std::make_move_iterator(sections.end()));
  m_mainOpen = true;
  m_dictionaryName = file;
  return true;
}

int TAcropSpell::addUser(std::unique_ptr<UserDictionary> dict) {
  auto t = std::make_unique<Tree>();
  t->user = dict.get();
  t->tree = std::move(dict);
  t->handle = m_nextHandle;
  m_nextHandle = m_nextHandle >= kLastHandle ? 0 : m_nextHandle + 1;
  m_trees.push_back(std::move(t));
  return m_trees.back()->handle;
}

int TAcropSpell::OpenUserDictionary(const std::string& file) {
  std::unique_ptr<UserDictionary> dict = UserDictionary::Open(file, m_lastError);
  return dict ? addUser(std::move(dict)) : -1;
}

int TAcropSpell::CreateUserDictionary(const std::string& file,
                                      const std::vector<std::string>& words) {
  std::unique_ptr<UserDictionary> dict = UserDictionary::Create(file, m_lastError);
  if (!dict)
    return -1;
  const int handle = addUser(std::move(dict));
  for (const std::string& w : words)
    AddUserWord(w, handle);
  return handle;
}

void TAcropSpell::CloseDictionaries() {
  m_trees.clear();
  m_mainOpen = false;
  m_triedDefault = false;
}

void TAcropSpell::noteDamage(const std::string& reason) {
  m_lastError = reason;
}

// Opens the named main dictionary once when none is open, and reads again
// any user dictionary another writer changed.
void TAcropSpell::prepare() {
  if (!m_mainOpen && !m_triedDefault) {
    m_triedDefault = true;
    OpenMainDictionary(m_dictionaryName);
  }
  for (auto& t : m_trees) {
    std::string error;
    if (t->user && !t->user->Refresh(error))
      noteDamage(error);
  }
}

bool TAcropSpell::knownIn(LetterTree& tree, std::string_view capitals) {
  std::uint32_t n = 1;
  for (std::size_t i = 0; i < capitals.size(); ++i) {
    const int code = LetterCode(static_cast<unsigned char>(capitals[i]));
    if (code < 0)
      return false;
    Node node;
    for (;; ++n) {
      if (!tree.ReadNode(n, node)) {
        if (n != 1)
          noteDamage("a dictionary's letter tree leads outside its nodes");
        return false;
      }
      if (node.Letter() == code)
        break;
      if (node.IsLast())
        return false;
    }
    if (i + 1 == capitals.size())
      return node.EndsWord();
    if (!node.HasChild())
      return false;
    n = node.child;
  }
  return false;
}

bool TAcropSpell::knownAnywhere(std::string_view capitals, bool plainOnly) {
  // A possessive is known when the word it belongs to is: JOHN'S by JOHN.
  for (;;) {
    if (capitals.size() <= 1)
      return true;
    for (auto& t : m_trees)
      if ((!plainOnly || t->tree->HoldsPlainWords()) && knownIn(*t->tree, capitals))
        return true;
    if (capitals.size() < 2 || capitals.substr(capitals.size() - 2) != "'S")
      return false;
    capitals.remove_suffix(2);
  }
}

bool TAcropSpell::IsWordKnown(std::string_view word) {
  if (word.size() <= 1)
    return true;
  prepare();
  return knownAnywhere(ToCapitals(word));
}

UserDictionary* TAcropSpell::userDictionary(int handle) {
  for (auto& t : m_trees)
    if (t->user && t->handle == handle)
      return t->user;
  return nullptr;
}

bool TAcropSpell::AddUserWord(std::string_view word, int handle) {
  UserDictionary* dict = userDictionary(handle);
  if (!dict) {
    m_lastError = "no user dictionary with handle " + std::to_string(handle);
    return false;
  }
  std::string error;
  switch (dict->AddWord(ToCapitals(word), error)) {
  case UserDictionary::AddResult::Added:
  case UserDictionary::AddResult::AlreadyThere:
    return true;
  case UserDictionary::AddResult::Refused:
  case UserDictionary::AddResult::WriteFailed:
    break;
  }
  m_lastError = error;
  return false;
}

} // namespace spell
