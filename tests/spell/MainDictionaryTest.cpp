// Main dictionaries: lookup, suggestions, sections, and files that are
// damaged or hostile.
#include "SpellTestSupport.h"

#include "spell/DictionaryFormat.h"
#include "spell/LetterTree.h"
#include "spell/TAcropSpell.h"
#include "spell/WordList.h"

#include <gtest/gtest.h>
#include <random>

using spelltest::MakeMainDictionary;
using spelltest::TempDir;

namespace {

// Offset of the first section header in a compiled dictionary.
std::size_t firstHeader(const std::string& bytes) {
  return bytes.find(char(spell::kPreambleEnd)) + 1;
}

// Runs the body with the dictionary held in memory and again read from disk
// through the node caches.
template <typename Body> void inBothReadModes(Body body) {
  for (const std::uint64_t limit : {std::uint64_t(32) << 20, std::uint64_t(0)}) {
    SCOPED_TRACE(limit ? "held in memory" : "read through the node cache");
    spell::MainDictionaryFile::SetMemoryLimit(limit);
    body();
  }
  spell::MainDictionaryFile::SetMemoryLimit(std::uint64_t(32) << 20);
}

void patchNode(std::string& bytes, std::uint32_t number, spell::Node node) {
  spell::EncodeNode(node, reinterpret_cast<unsigned char*>(bytes.data()) + firstHeader(bytes) +
                              spell::kHeaderSize + (number - 1) * spell::kNodeSize);
}

} // namespace

TEST(MainDictionary, KnownWordsPossessivesAndShortWords) {
  TempDir dir;
  spell::TAcropSpell s;
  // Without any dictionary a one-letter word is still known; longer ones are not.
  EXPECT_TRUE(s.IsWordKnown("x"));
  EXPECT_FALSE(s.IsWordKnown("ox"));
  ASSERT_TRUE(s.OpenMainDictionary(MakeMainDictionary(dir, {"JOHN", "house", "Co-operate"})));
  EXPECT_FALSE(s.OpenMainDictionary(dir.File("main.dct"))) << "a second main dictionary";
  EXPECT_TRUE(s.IsWordKnown("John"));
  EXPECT_TRUE(s.IsWordKnown("JOHN'S"));
  EXPECT_TRUE(s.IsWordKnown("john's's"));
  EXPECT_TRUE(s.IsWordKnown("co-operate"));
  EXPECT_FALSE(s.IsWordKnown("JOHNS"));
  EXPECT_FALSE(s.IsWordKnown("JOH"));
  EXPECT_FALSE(s.IsWordKnown("HOUSES"));
  EXPECT_FALSE(s.IsWordKnown("JAHN'S"));
}

TEST(MainDictionary, OpensTheNamedDictionaryOnFirstUse) {
  TempDir dir;
  spell::TAcropSpell s;
  EXPECT_EQ(s.DictionaryName(), "acrop.dct");
  s.SetDictionaryName(MakeMainDictionary(dir, {"ZEBRA"}));
  EXPECT_TRUE(s.IsWordKnown("zebra"));
  EXPECT_EQ(s.TreeCount(), 1u);
}

TEST(MainDictionary, FirstLetterKTriesCLJThenK) {
  TempDir dir;
  spell::TAcropSpell s;
  ASSERT_TRUE(s.OpenMainDictionary(MakeMainDictionary(dir, {"KITTA", "JOTTA", "LOTTA", "COTTA"})));
  // All four sound like KOTTU and score 60 against it, none is one slip
  // away; equal scores keep the order in which the first letters were tried.
  EXPECT_EQ(s.Suggest("KOTTU"), (std::vector<std::string>{"COTTA", "LOTTA", "JOTTA", "KITTA"}));
  s.SetMaxSuggestions(2);
  EXPECT_EQ(s.Suggest("KOTTU"), (std::vector<std::string>{"COTTA", "LOTTA"}));
  s.SetMaxSuggestions(1000);
  EXPECT_EQ(s.MaxSuggestions(), 220);
}

TEST(MainDictionary, SplitWordsAreMadeOfOrdinaryWords) {
  TempDir dir;
  spell::TAcropSpell s;
  // Words written with capitals in the list are names and abbreviations.
  ASSERT_TRUE(s.OpenMainDictionary(
      MakeMainDictionary(dir, {"lot", "allot", "alto", "in", "fact", "Th", "NA", "than"})));
  const std::vector<std::string> got = s.Suggest("alot");
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], "alto"); // two neighbours swapped
  EXPECT_EQ(got[1], "allot");
  EXPECT_NE(std::find(got.begin(), got.end(), "a lot"), got.end());
  EXPECT_EQ(s.LastSuggestions(), got);
  EXPECT_EQ(s.Suggest("infact").front(), "in fact");
  const std::vector<std::string> thna = s.Suggest("thna");
  EXPECT_EQ(std::find(thna.begin(), thna.end(), "th na"), thna.end());
  EXPECT_EQ(thna.front(), "than");
}

TEST(MainDictionary, NeighboursSwappedBackComeFirst) {
  TempDir dir;
  spell::TAcropSpell s;
  ASSERT_TRUE(s.OpenMainDictionary(
      MakeMainDictionary(dir, {"tech", "eh", "tea", "ten", "the", "their", "tier", "thief"})));
  EXPECT_EQ(s.Suggest("Teh").front(), "The");
  EXPECT_EQ(s.Suggest("thier").front(), "their");
  // One slip away beats a better-sounding but farther word.
  EXPECT_EQ(s.Suggest("tenn").front(), "ten");
}

TEST(MainDictionary, WamericanCompiledIntoSectionsKnowsEveryWord) {
  std::vector<std::string> words;
  ASSERT_TRUE(spell::ReadWordList("/usr/share/dict/american-english", words));
  ASSERT_GT(words.size(), 90000u);
  inBothReadModes([&] {
    spell::TAcropSpell s;
    ASSERT_TRUE(s.OpenMainDictionary(TOLVANE_MAIN_DICTIONARY)) << s.LastError();
    EXPECT_GE(s.TreeCount(), 2u) << "more nodes than one 16-bit section holds";
    std::size_t unknown = 0;
    for (const std::string& w : words)
      unknown += !s.IsWordKnown(w);
    EXPECT_EQ(unknown, 0u);
    const std::vector<std::string> typed = s.Suggest("Recieve");
    ASSERT_FALSE(typed.empty());
    EXPECT_EQ(typed.front(), "Receive");
    EXPECT_EQ(s.Suggest("RECIEVE").front(), "RECEIVE");
    EXPECT_EQ(s.Suggest("Teh").front(), "The");
    EXPECT_FALSE(s.IsWordKnown("Recieve"));
    EXPECT_TRUE(s.LastError().empty()) << s.LastError();
  });
}

TEST(MainDictionary, WordsSpreadOverSeveralSectionsAreFoundAndSuggested) {
  std::mt19937 random(7);
  std::vector<std::string> words;
  for (int i = 0; i < 40000; ++i) {
    std::string w;
    for (int k = 0; k < 9; ++k)
      w += char('A' + random() % 26);
    words.push_back(w);
  }
  TempDir dir;
  spell::TAcropSpell s;
  ASSERT_TRUE(s.OpenMainDictionary(MakeMainDictionary(dir, words)));
  ASSERT_GE(s.TreeCount(), 4u);
  for (const std::string& w : words)
    ASSERT_TRUE(s.IsWordKnown(w)) << w;
  // The last word in letter order sits in the last section; with one
  // letter changed it is still suggested.
  std::sort(words.begin(), words.end());
  const std::string last = words.back();
  std::string typo = last;
  typo[5] = typo[5] == 'E' ? 'A' : 'E';
  if (!s.IsWordKnown(typo)) {
    const std::vector<std::string> got = s.Suggest(typo);
    EXPECT_NE(std::find(got.begin(), got.end(), last), got.end()) << typo;
  }
}

TEST(MainDictionary, DamagedFilesAreRefusedWithAReason) {
  TempDir dir;
  const std::string good = spelltest::ReadBytes(MakeMainDictionary(dir, {"HOUSE", "HORSE"}));
  const std::size_t header = firstHeader(good);
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"empty", ""},
      {"no end of preamble", "just text without the closing byte"},
      {"header cut short", good.substr(0, header + 10)},
      {"nodes cut short", good.substr(0, good.size() - 2)},
  };
  std::string huge = good;
  huge[header] = huge[header + 1] = char(0xFF); // 65535 nodes in use
  cases.push_back({"more nodes than 16 bits reach", huge});
  std::string slots = good;
  slots[header + 4] = 1; // capacity below the nodes in use
  slots[header + 5] = slots[header + 6] = slots[header + 7] = 0;
  cases.push_back({"fewer slots than nodes", slots});
  std::string user = good;
  user[header + 16] = 0;
  cases.push_back({"a user dictionary", user});
  for (const Case& c : cases) {
    spelltest::WriteBytes(dir.File("bad.dct"), c.bytes);
    spell::TAcropSpell s;
    EXPECT_FALSE(s.OpenMainDictionary(dir.File("bad.dct"))) << c.what;
    EXPECT_FALSE(s.LastError().empty()) << c.what;
    EXPECT_FALSE(s.IsWordKnown("HOUSE")) << c.what;
  }
  spell::TAcropSpell s;
  EXPECT_FALSE(s.OpenMainDictionary(dir.Path())) << "a folder";
  EXPECT_FALSE(s.OpenMainDictionary(dir.File("missing.dct")));
}

TEST(MainDictionary, LoopsAndStrayNumbersInTheTreeEndTheSearch) {
  TempDir dir;
  // H(1) -> O(2) -> R,U(3,4) -> S(5), S(6) -> E(7), E(8)
  const std::string path = MakeMainDictionary(dir, {"HORSE", "HOUSE"});
  std::string bytes = spelltest::ReadBytes(path);
  std::string looped = bytes;
  // Every E leads back to the first letters: the tree becomes endless.
  patchNode(looped, 7, {1, std::uint8_t(4 | spell::kLastSibling | spell::kWordEnd)});
  patchNode(looped, 8, {1, std::uint8_t(4 | spell::kLastSibling | spell::kWordEnd)});
  spelltest::WriteBytes(path, looped);
  inBothReadModes([&] {
    spell::TAcropSpell s;
    ASSERT_TRUE(s.OpenMainDictionary(path));
    EXPECT_TRUE(s.IsWordKnown("HORSE"));
    s.Suggest("HOSRE");
    s.Suggest("HORSEHORSEHORSEHORSEHORSE");
    EXPECT_NE(s.LastError().find("damaged"), std::string::npos) << s.LastError();
  });

  std::string stray = bytes;
  patchNode(stray, 2, {60000, std::uint8_t(14 | spell::kLastSibling)}); // O -> beyond the nodes
  spelltest::WriteBytes(path, stray);
  spell::TAcropSpell t;
  ASSERT_TRUE(t.OpenMainDictionary(path));
  EXPECT_FALSE(t.IsWordKnown("HORSE"));
  EXPECT_TRUE(t.Suggest("HORSA").size() <= 10);
  EXPECT_FALSE(t.LastError().empty());
}
