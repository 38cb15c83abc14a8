#include "spell/DictionaryCompiler.h"

#include "spell/DictionaryFormat.h"
#include "spell/Letters.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <map>

namespace spell {
namespace {

// The longest word a suggestion walk can reach.
constexpr std::size_t kLongestWord = 30;
constexpr std::size_t kMinSlots = 2;

// Words go into sections by group: plain words first, then names and
// abbreviations (written with a capital in the list), then words with an
// apostrophe (mostly possessives, known through their stems anyway). Every
// group is searched for every lookup; the order only puts ordinary words
// ahead of names among suggestions that score the same.
enum Group { kPlain, kCapitalised, kApostrophe, kGroups };

Group groupOf(const std::string& w) {
  if (w.find('\'') != std::string::npos)
    return kApostrophe;
  for (char c : w)
    if (IsCapitalLetter(static_cast<unsigned char>(c)))
      return kCapitalised;
  return kPlain;
}

struct TrieNode {
  int code = 0;
  bool endsWord = false;
  std::vector<std::size_t> children; // indexes, in letter-code order
};

// Words as letter codes by group, sorted, each word once (in its first group).
std::array<std::vector<std::vector<int>>, kGroups> wordCodes(const std::vector<std::string>& words,
                                                             std::size_t& left) {
  std::map<std::vector<int>, Group> best;
  for (const std::string& w : words) {
    std::vector<int> codes;
    for (char c : w)
      codes.push_back(LetterCode(static_cast<unsigned char>(c)));
    if (codes.empty() || codes.size() > kLongestWord ||
        std::find(codes.begin(), codes.end(), -1) != codes.end()) {
      ++left;
      continue;
    }
    const Group g = groupOf(w);
    auto [it, added] = best.emplace(std::move(codes), g);
    if (!added)
      it->second = std::min(it->second, g);
  }
  std::array<std::vector<std::vector<int>>, kGroups> out;
  for (auto& [codes, group] : best)
    out[group].push_back(codes);
  return out;
}

std::size_t commonPrefix(const std::vector<int>& a, const std::vector<int>& b) {
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n])
    ++n;
  return n;
}

// One section's letter tree, laid out so that every sibling list is a run of
// consecutive nodes: the first letters from node 1, then the child lists in
// breadth-first order. Within a list, letters that lead to more words come
// first, so that a walk meets the busier branches first.
class SectionBuilder {
public:
  SectionBuilder() : m_trie(1) {}

  void Add(const std::vector<int>& codes) {
    std::size_t at = 0;
    for (int code : codes) {
      std::vector<std::size_t>& kids = m_trie[at].children;
      // Words come sorted, so a letter already present is the last child.
      if (kids.empty() || m_trie[kids.back()].code != code) {
        m_trie.push_back(TrieNode{code, false, {}});
        m_trie[at].children.push_back(m_trie.size() - 1);
      }
      at = m_trie[at].children.back();
    }
    m_trie[at].endsWord = true;
    ++m_words;
  }

  std::size_t Nodes() const { return m_trie.size() - 1; }
  std::size_t Words() const { return m_words; }

  std::string Serialize(std::uint32_t headerOffset, std::uint8_t kind) {
    orderBranches();
    std::vector<Node> nodes = layOut();
    const auto count = static_cast<std::uint32_t>(nodes.size());
    // A section after the first is only read when more than 20 bytes of it
    // remain, so a tiny one gets free slots to reach that size.
    nodes.resize(std::max<std::size_t>(nodes.size(), kMinSlots), Node{kFreeSlot, 0});
    const auto capacity = static_cast<std::uint32_t>(nodes.size());
    std::string bytes(kHeaderSize + nodes.size() * kNodeSize, '\0');
    auto* raw = reinterpret_cast<unsigned char*>(bytes.data());
    EncodeHeader(
        SectionHeader{count, capacity, static_cast<std::uint32_t>(m_words), 0, headerOffset, kind},
        raw);
    for (std::size_t i = 0; i < nodes.size(); ++i)
      EncodeNode(nodes[i], raw + kHeaderSize + i * kNodeSize);
    return bytes;
  }

private:
  // Children are always created after their parent, so one pass from the
  // end sums the words below every node.
  void orderBranches() {
    std::vector<std::size_t> below(m_trie.size(), 0);
    for (std::size_t i = m_trie.size(); i-- > 0;) {
      below[i] += m_trie[i].endsWord;
      for (std::size_t k : m_trie[i].children)
        below[i] += below[k];
    }
    for (TrieNode& t : m_trie)
      std::stable_sort(t.children.begin(), t.children.end(),
                       [&](std::size_t a, std::size_t b) { return below[a] > below[b]; });
  }

  std::vector<Node> layOut() const {
    std::vector<Node> nodes(Nodes());
    std::vector<std::uint32_t> number(m_trie.size(), 0);
    std::deque<std::size_t> lists{0};
    std::uint32_t next = 1;
    while (!lists.empty()) {
      const std::size_t parent = lists.front();
      lists.pop_front();
      const auto& kids = m_trie[parent].children;
      if (parent != 0)
        nodes[number[parent] - 1].child = static_cast<std::uint16_t>(next);
      for (std::size_t k = 0; k < kids.size(); ++k) {
        const TrieNode& t = m_trie[kids[k]];
        number[kids[k]] = next;
        std::uint8_t flags = static_cast<std::uint8_t>(t.code);
        if (k + 1 == kids.size())
          flags |= kLastSibling;
        if (t.endsWord)
          flags |= kWordEnd;
        nodes[next - 1] = Node{kNoChild, flags};
        ++next;
        if (!t.children.empty())
          lists.push_back(kids[k]);
      }
    }
    return nodes;
  }

  std::vector<TrieNode> m_trie; // [0] is the root above the first letters
  std::size_t m_words = 0;
};

} // namespace

std::string CompileMainDictionary(const std::vector<std::string>& words,
                                  const std::string& description, CompileStats& stats) {
  stats = {};
  std::string out = "TOLVANE MAIN DICTIONARY\r\n" + description + "\r\n";
  out += static_cast<char>(kPreambleEnd);
  const auto groups = wordCodes(words, stats.left);
  SectionBuilder section;
  const std::vector<int>* previous = nullptr;
  Group current = kPlain;
  auto finish = [&] {
    stats.sections += 1;
    stats.nodes += section.Nodes();
    stats.words += section.Words();
    out += section.Serialize(static_cast<std::uint32_t>(out.size()),
                             current == kPlain ? kPlainWordsKind : kOtherWordsKind);
    section = SectionBuilder();
    previous = nullptr;
  };
  for (const auto& group : groups) {
    current = static_cast<Group>(&group - groups.data());
    for (const std::vector<int>& w : group) {
      const std::size_t added = w.size() - (previous ? commonPrefix(*previous, w) : 0);
      if (section.Nodes() + added > kMaxNodes)
        finish();
      section.Add(w);
      previous = &w;
    }
    if (section.Nodes() > 0)
      finish();
  }
  if (stats.sections == 0)
    finish();
  return out;
}

} // namespace spell
