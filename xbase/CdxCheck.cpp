// Structural check of one CDX tree, read afresh from the file so that what
// other programs will see is what gets checked, not this process's cache.

#include "xbase/CdxIndex.h"
#include "xbase/CdxTree.h"
#include "xbase/XBaseError.h"

#include <cstdio>
#include <map>
#include <set>

namespace xbase {

namespace {

constexpr int kMaxDepth = 32;
constexpr size_t kMaxFindings = 20; // per tag: one fault tends to repeat

// A key for a message: printable bytes as they are, others in hex.
std::string showKey(const CdxEntry& e) {
  std::string text;
  for (char c : e.key) {
    if (uint8_t(c) >= 0x20 && uint8_t(c) < 0x7F) {
      text += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(uint8_t(c)));
      text += hex;
    }
  }
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return "\"" + text + "\" (record " + std::to_string(e.recNo) + ")";
}

bool sameEntry(const CdxEntry& a, const CdxEntry& b) {
  return a.key == b.key && a.recNo == b.recNo;
}

class TreeChecker {
public:
  TreeChecker(CdxIndex& index, const CdxKeyFormat& format, const std::string& where,
              std::vector<std::string>& findings)
      : m_index(index), m_format(format), m_where(where), m_findings(findings) {}

  bool full() const { return m_count >= kMaxFindings; }

  void finding(const std::string& text) {
    if (m_count++ < kMaxFindings)
      m_findings.push_back(m_where + text);
  }

  // nullptr (and a finding) when the page cannot be read or decoded.
  const CdxNode* page(uint32_t offset) {
    auto it = m_pages.find(offset);
    if (it != m_pages.end())
      return &it->second;
    uint8_t bytes[kCdxPage];
    CdxNode node;
    std::string error;
    try {
      m_index.readPage(offset, bytes);
    } catch (const XBaseError& e) {
      finding(e.what());
      return nullptr;
    }
    if (!decodeCdxNode(bytes, m_format, node, error)) {
      finding("page " + std::to_string(offset) + " cannot be read: " + error);
      return nullptr;
    }
    node.offset = offset;
    return &m_pages.emplace(offset, std::move(node)).first->second;
  }

  // Checks one level (pages left to right) and returns the level below.
  std::vector<uint32_t> level(const std::vector<uint32_t>& offsets, bool top,
                              std::vector<CdxEntry>& keys) {
    std::vector<uint32_t> below;
    const CdxNode* previous = nullptr;
    bool leaves = false;
    for (size_t i = 0; i < offsets.size() && !full(); ++i) {
      const CdxNode* node = page(offsets[i]);
      if (!node)
        return {};
      if (!m_seen.insert(offsets[i]).second) {
        finding("page " + std::to_string(offsets[i]) + " is reached twice");
        return {};
      }
      if (i == 0)
        leaves = node->leaf();
      checkPage(*node, top, leaves);
      checkSiblings(*node, previous, i + 1 == offsets.size());
      if (previous && !previous->entries.empty() && !node->entries.empty() &&
          !before(previous->entries.back(), node->entries.front()))
        finding("first key of page " + std::to_string(node->offset) + ", " +
                showKey(node->entries.front()) + ", is not above the last key of page " +
                std::to_string(previous->offset));
      for (const auto& e : node->entries) {
        if (node->leaf()) {
          keys.push_back(e);
          continue;
        }
        checkChildKey(*node, e);
        below.push_back(e.child);
      }
      previous = node;
    }
    return leaves ? std::vector<uint32_t>{} : below;
  }

private:
  static bool before(const CdxEntry& a, const CdxEntry& b) {
    return compareEntry(a.key, a.recNo, b) < 0;
  }

  void checkPage(const CdxNode& node, bool top, bool leaves) {
    std::string name = "page " + std::to_string(node.offset);
    if (node.root() != top)
      finding(name + (top ? " is the root but not marked so" : " is marked as a root"));
    if (node.leaf() != leaves)
      finding(name + " mixes leaf and branch pages on one level");
    if (node.entries.empty() && !top)
      finding(name + " is empty");
    for (size_t k = 1; k < node.entries.size(); ++k)
      if (!before(node.entries[k - 1], node.entries[k]))
        finding(name + ": key " + showKey(node.entries[k]) + " is not above the key before it");
  }

  void checkSiblings(const CdxNode& node, const CdxNode* previous, bool last) {
    std::string name = "page " + std::to_string(node.offset);
    uint32_t wantLeft = previous ? previous->offset : kNoPage;
    if (node.left != wantLeft)
      finding(name + ": left sibling link is " + link(node.left) + ", expected " + link(wantLeft));
    if (last && node.right != kNoPage)
      finding(name + " is last on its level but links right to " + link(node.right));
    if (previous && previous->right != node.offset)
      finding("page " + std::to_string(previous->offset) + ": right sibling link is " +
              link(previous->right) + ", expected " + std::to_string(node.offset));
  }

  void checkChildKey(const CdxNode& node, const CdxEntry& e) {
    const CdxNode* child = page(e.child);
    if (!child || child->entries.empty())
      return; // reported as the child's own finding
    const CdxEntry& lastKey = child->entries.back();
    if (!sameEntry(lastKey, e))
      finding("page " + std::to_string(node.offset) + ": branch key " + showKey(e) +
              " differs from the last key of child page " + std::to_string(e.child) + ", " +
              showKey(lastKey));
  }

  static std::string link(uint32_t offset) {
    return offset == kNoPage ? std::string("none") : std::to_string(offset);
  }

  CdxIndex& m_index;
  CdxKeyFormat m_format;
  std::string m_where;
  std::vector<std::string>& m_findings;
  std::map<uint32_t, CdxNode> m_pages;
  std::set<uint32_t> m_seen;
  size_t m_count = 0;
};

} // namespace

void CdxTree::checkPages(const std::string& where, std::vector<CdxEntry>& keys,
                         std::vector<std::string>& findings) {
  TreeChecker checker(m_index, m_format, where, findings);
  uint8_t header[1024];
  m_index.file().readAt(m_headerOffset, header, sizeof header);
  uint32_t root = getLe32(header);
  if (root != m_header.root) {
    checker.finding("tag header names root page " + std::to_string(root) + ", the open index " +
                    std::to_string(m_header.root));
    return;
  }
  std::vector<uint32_t> level{root};
  for (int depth = 0; !level.empty() && !checker.full(); ++depth) {
    if (depth > kMaxDepth) {
      checker.finding("tree deeper than any valid one");
      return;
    }
    level = checker.level(level, depth == 0, keys);
  }
}

} // namespace xbase
