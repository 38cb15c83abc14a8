// Suggestions for an unknown word: words whose sound key matches the typed
// word's under each likely first letter, scored by their common letters,
// plus the typed word split into two known words.
#include "compose/spell/LetterTree.h"
#include "compose/spell/Letters.h"
#include "compose/spell/SpellRules.h"
#include "compose/spell/TAcropSpell.h"

#include <algorithm>
#include <array>

namespace spell {

class SuggestionRun {
public:
  SuggestionRun(TAcropSpell& spell, std::string typed)
      : m_spell(spell), m_typed(std::move(typed)), m_max(std::size_t(spell.MaxSuggestions())) {}

  void WalkTrees() {
    const std::string key = TypedWordKey(m_typed);
    for (char first : FirstLetterAlternatives(static_cast<unsigned char>(m_typed[0]))) {
      m_target = key;
      m_target[0] = first;
      for (auto& t : m_spell.m_trees) {
        // In a tree every node is reached once; more visits mean the file
        // links nodes into loops or shares them, and the walk stops.
        m_budget = std::int64_t(t->tree->NodesInUse());
        if (!walk(*t->tree, 1, 0, {}, 0))
          m_spell.noteDamage("a dictionary's letter tree is damaged (nodes in a loop or shared)");
      }
    }
  }

  // The typed word as two known words with a blank between them.
  void SplitWords() {
    const std::size_t length = m_typed.size();
    auto aOrI = [](char c) { return c == 'A' || c == 'I'; };
    const std::size_t from = aOrI(m_typed.front()) ? 1 : 2;
    const std::size_t to = aOrI(m_typed.back()) ? length - 1 : length - 2;
    for (std::size_t d = from; d <= to && d < length; ++d) {
      const std::string_view head = std::string_view(m_typed).substr(0, d);
      const std::string_view rest = std::string_view(m_typed).substr(d);
      if (m_spell.knownAnywhere(head) && m_spell.knownAnywhere(rest))
        offer(std::string(head) + ' ' + std::string(rest));
    }
  }

  std::vector<std::string> Words(std::string_view typedAsWritten) const {
    std::vector<std::string> out;
    for (const Entry& e : m_list)
      out.push_back(InTypedCase(e.word, typedAsWritten));
    return out;
  }

private:
  static constexpr std::size_t kLongestCandidate = 30;
  struct Entry {
    std::string word;
    int score;
  };

  // Walks one sibling list; key holds the sound key of the prefix so far.
  bool walk(LetterTree& tree, std::uint32_t first, std::size_t depth,
            std::array<char, kKeyLength> key, std::size_t keyLength) {
    Node node;
    for (std::uint32_t n = first;; ++n) {
      if (!tree.ReadNode(n, node) || --m_budget < 0)
        return tree.NodesInUse() == 0;
      const auto letter = static_cast<char>(CodeLetter(node.Letter()));
      m_prefix[depth] = letter;
      if (node.EndsWord())
        offer(std::string_view(m_prefix.data(), depth + 1));
      if (node.HasChild() && depth + 1 < kLongestCandidate) {
        std::array<char, kKeyLength> next = key;
        std::size_t nextLength = keyLength;
        extendKey(next, nextLength, letter, depth == 0);
        // Descend only while the prefix still sounds like the target.
        if (std::equal(next.begin(), next.begin() + nextLength, m_target.begin()) &&
            !walk(tree, node.child, depth + 1, next, nextLength))
          return false;
      }
      if (node.IsLast())
        return true;
    }
  }

  static void extendKey(std::array<char, kKeyLength>& key, std::size_t& length, char letter,
                        bool first) {
    if (first) {
      key[0] = letter;
      length = 1;
      return;
    }
    const auto c = static_cast<unsigned char>(letter);
    if (length == kKeyLength || IsSilentInKey(c))
      return;
    const char code = static_cast<char>(KeyCode(c));
    if (std::find(key.begin() + 1, key.begin() + length, code) == key.begin() + length)
      key[length++] = code;
  }

  void offer(std::string_view word) {
    if (m_max == 0)
      return;
    const bool full = m_list.size() >= m_max;
    // No candidate can score more than its share of common letters allows.
    if (full) {
      const std::size_t bare =
          word.size() - std::size_t(std::count(word.begin(), word.end(), '\''));
      const std::size_t shorter = std::min(bare, m_typed.size());
      if (int(2 * shorter * 100 / (bare + m_typed.size())) < m_list.back().score)
        return;
    }
    const int score = LikenessScore(word, m_typed);
    const auto at = std::find_if(m_list.begin(), m_list.end(),
                                 [score](const Entry& e) { return e.score < score; });
    if (full && at == m_list.end())
      return;
    if (std::any_of(m_list.begin(), m_list.end(), [&](const Entry& e) { return e.word == word; }))
      return;
    m_list.insert(at, Entry{std::string(word), score});
    if (m_list.size() > m_max)
      m_list.pop_back();
  }

  TAcropSpell& m_spell;
  const std::string m_typed;
  const std::size_t m_max;
  std::string m_target;
  std::array<char, kLongestCandidate> m_prefix{};
  std::int64_t m_budget = 0;
  std::vector<Entry> m_list;
};

std::vector<std::string> TAcropSpell::Suggest(std::string_view word) {
  m_lastSuggestions.clear();
  const std::string_view asTyped = word.substr(0, kMaxWordLength);
  if (asTyped.empty())
    return {};
  prepare();
  SuggestionRun run(*this, ToCapitals(asTyped));
  run.WalkTrees();
  run.SplitWords();
  m_lastSuggestions = run.Words(asTyped);
  return m_lastSuggestions;
}

} // namespace spell
