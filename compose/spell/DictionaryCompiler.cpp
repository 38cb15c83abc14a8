#include "compose/spell/DictionaryCompiler.h"

#include "compose/spell/DictionaryFormat.h"
#include "compose/spell/Letters.h"

#include <algorithm>
#include <cstdint>
#include <deque>

namespace spell {
namespace {

// The longest word a suggestion walk can reach.
constexpr std::size_t kLongestWord = 30;
constexpr std::size_t kMinSlots = 2;

struct TrieNode {
  int code = 0;
  bool endsWord = false;
  std::vector<std::size_t> children; // indexes, in letter-code order
};

// Words as letter codes, sorted, without repeats.
std::vector<std::vector<int>> wordCodes(const std::vector<std::string>& words, std::size_t& left) {
  std::vector<std::vector<int>> out;
  for (const std::string& w : words) {
    std::vector<int> codes;
    for (char c : w)
      codes.push_back(LetterCode(static_cast<unsigned char>(c)));
    if (codes.empty() || codes.size() > kLongestWord ||
        std::find(codes.begin(), codes.end(), -1) != codes.end()) {
      ++left;
      continue;
    }
    out.push_back(std::move(codes));
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
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
// breadth-first order.
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

  std::string Serialize(std::uint32_t headerOffset) const {
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
    const auto count = static_cast<std::uint32_t>(nodes.size());
    // A section after the first is only read when more than 20 bytes of it
    // remain, so a tiny one gets free slots to reach that size.
    nodes.resize(std::max<std::size_t>(nodes.size(), kMinSlots), Node{kFreeSlot, 0});
    const auto capacity = static_cast<std::uint32_t>(nodes.size());
    std::string bytes(kHeaderSize + nodes.size() * kNodeSize, '\0');
    auto* raw = reinterpret_cast<unsigned char*>(bytes.data());
    EncodeHeader(
        SectionHeader{count, capacity, static_cast<std::uint32_t>(m_words), 0, headerOffset, 1},
        raw);
    for (std::size_t i = 0; i < nodes.size(); ++i)
      EncodeNode(nodes[i], raw + kHeaderSize + i * kNodeSize);
    return bytes;
  }

private:
  std::vector<TrieNode> m_trie; // [0] is the root above the first letters
  std::size_t m_words = 0;
};

} // namespace

std::string CompileMainDictionary(const std::vector<std::string>& words,
                                  const std::string& description, CompileStats& stats) {
  stats = {};
  std::string out = "TOLVANE MAIN DICTIONARY\r\n" + description + "\r\n";
  out += static_cast<char>(kPreambleEnd);
  const std::vector<std::vector<int>> sorted = wordCodes(words, stats.left);
  SectionBuilder section;
  const std::vector<int>* previous = nullptr;
  auto finish = [&] {
    stats.sections += 1;
    stats.nodes += section.Nodes();
    stats.words += section.Words();
    out += section.Serialize(static_cast<std::uint32_t>(out.size()));
    section = SectionBuilder();
    previous = nullptr;
  };
  for (const std::vector<int>& w : sorted) {
    const std::size_t added = w.size() - (previous ? commonPrefix(*previous, w) : 0);
    if (section.Nodes() + added > kMaxNodes)
      finish();
    section.Add(w);
    previous = &w;
  }
  if (section.Nodes() > 0 || stats.sections == 0)
    finish();
  return out;
}

} // namespace spell
