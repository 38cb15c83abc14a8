// Suggestions for an unknown word, gathered in this order: the words one
// typing slip away; the words whose sound key matches the typed word's under
// each likely first letter; the typed word split into two ordinary words.
// All are scored by their common letters and kept best first; a candidate
// scoring the same as one already listed goes after it.
#include "spell/LetterTree.h"
#include "spell/Letters.h"
#include "spell/SpellRules.h"
#include "spell/TAcropSpell.h"

#include <algorithm>
#include <array>

namespace spell {

class SuggestionRun {
public:
  SuggestionRun(TAcropSpell& spell, std::string typed)
      : m_spell(spell), m_typed(std::move(typed)), m_max(std::size_t(spell.MaxSuggestions())) {}

  // Words one typing slip away (a letter left out, added or changed, or two
  // neighbours swapped) come first, so that among equal scores they lead.
  void WalkNearMisses() {
    for (auto& t : m_spell.m_trees) {
      m_budget = std::int64_t(t->tree->NodesInUse());
      Row start{};
      for (std::size_t j = 0; j <= m_typed.size(); ++j)
        start[j] = static_cast<std::uint8_t>(j);
      if (!nearWalk(*t->tree, 1, 0, start, start))
        m_spell.noteDamage("a dictionary's letter tree is damaged (nodes in a loop or shared)");
    }
  }

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

  // The typed word as two known words with a blank between them. Both must
  // be ordinary words: names and abbreviations (TH, NA, JR) would split
  // almost any slip into two "words".
  void SplitWords() {
    const std::size_t length = m_typed.size();
    auto aOrI = [](char c) { return c == 'A' || c == 'I'; };
    const std::size_t from = aOrI(m_typed.front()) ? 1 : 2;
    const std::size_t to = aOrI(m_typed.back()) ? length - 1 : length - 2;
    for (std::size_t d = from; d <= to && d < length; ++d) {
      const std::string_view head = std::string_view(m_typed).substr(0, d);
      const std::string_view rest = std::string_view(m_typed).substr(d);
      if (m_spell.knownAnywhere(head, true) && m_spell.knownAnywhere(rest, true))
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
  // Edit distances of the prefix so far against each start of the typed word.
  using Row = std::array<std::uint8_t, kMaxWordLength + 1>;
  // Entries are ordered by rank: the likeness score, raised above every
  // score for the typed word with two neighbouring letters swapped back
  // (TEH -> THE, THIER -> THEIR), the commonest slip of all.
  static constexpr int kSwapRank = 1000;
  struct Entry {
    std::string word;
    int rank;
  };

  static bool isNeighbourSwap(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
      return false;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i])
      ++i;
    return i + 1 < a.size() && a[i] == b[i + 1] && a[i + 1] == b[i] &&
           a.substr(i + 2) == b.substr(i + 2) && a[i] != a[i + 1];
  }

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

  // Walks one sibling list keeping the edit distance (with swaps of
  // neighbours) between the prefix and the typed word; a branch is left as
  // soon as no continuation can come within one edit.
  bool nearWalk(LetterTree& tree, std::uint32_t first, std::size_t depth, const Row& above,
                const Row& twoAbove) {
    const std::size_t m = m_typed.size();
    Node node;
    for (std::uint32_t n = first;; ++n) {
      if (!tree.ReadNode(n, node) || --m_budget < 0)
        return tree.NodesInUse() == 0;
      const auto letter = static_cast<char>(CodeLetter(node.Letter()));
      m_prefix[depth] = letter;
      Row row{};
      row[0] = static_cast<std::uint8_t>(std::min<std::size_t>(depth + 1, 255));
      std::uint8_t least = row[0];
      for (std::size_t j = 1; j <= m; ++j) {
        int d = std::min({above[j] + 1, row[j - 1] + 1, above[j - 1] + (m_typed[j - 1] != letter)});
        if (depth > 0 && j > 1 && m_typed[j - 1] == m_prefix[depth - 1] && m_typed[j - 2] == letter)
          d = std::min(d, twoAbove[j - 2] + 1);
        row[j] = static_cast<std::uint8_t>(std::min(d, 255));
        least = std::min(least, row[j]);
      }
      if (node.EndsWord() && row[m] <= 1)
        offer(std::string_view(m_prefix.data(), depth + 1));
      if (node.HasChild() && least <= 1 && depth + 1 < kLongestCandidate &&
          !nearWalk(tree, node.child, depth + 1, row, above))
        return false;
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
    const bool swapped = isNeighbourSwap(word, m_typed);
    // No candidate can score more than its share of common letters allows.
    if (full && !swapped) {
      const std::size_t bare =
          word.size() - std::size_t(std::count(word.begin(), word.end(), '\''));
      const std::size_t shorter = std::min(bare, m_typed.size());
      if (int(2 * shorter * 100 / (bare + m_typed.size())) < m_list.back().rank)
        return;
    }
    const int rank = LikenessScore(word, m_typed) + (swapped ? kSwapRank : 0);
    const auto at = std::find_if(m_list.begin(), m_list.end(),
                                 [rank](const Entry& e) { return e.rank < rank; });
    if (full && at == m_list.end())
      return;
    if (std::any_of(m_list.begin(), m_list.end(), [&](const Entry& e) { return e.word == word; }))
      return;
    m_list.insert(at, Entry{std::string(word), rank});
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
  run.WalkNearMisses();
  run.WalkTrees();
  run.SplitWords();
  m_lastSuggestions = run.Words(asTyped);
  return m_lastSuggestions;
}

} // namespace spell
