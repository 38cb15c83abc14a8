// User dictionaries: the new file, additions with renumbering, the limits,
// and writes that fail or come from another copy of the program.
#include "SpellTestSupport.h"

#include "spell/DictionaryFormat.h"
#include "spell/LetterTree.h"
#include "spell/Letters.h"
#include "spell/TAcropSpell.h"
#include "spell/WordList.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

using spelltest::TempDir;

namespace {

spell::SectionHeader headerOf(const std::string& bytes) {
  const std::size_t at = bytes.find(char(spell::kPreambleEnd)) + 1;
  return spell::DecodeHeader(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

std::vector<std::string> sampleWords(std::size_t count, unsigned seed) {
  std::vector<std::string> all;
  EXPECT_TRUE(spell::ReadWordList("/usr/share/dict/american-english", all));
  std::shuffle(all.begin(), all.end(), std::mt19937(seed));
  std::vector<std::string> out;
  for (const std::string& w : all) {
    const std::string caps = spell::ToCapitals(w);
    // Possessives would be known through their stems; keep the sample plain.
    if (w.size() >= 2 && w.find('\'') == std::string::npos &&
        std::find(out.begin(), out.end(), caps) == out.end())
      out.push_back(caps);
    if (out.size() == count)
      break;
  }
  return out;
}

} // namespace

TEST(UserDictionary, ANewDictionaryKnowsOnlyTheLetterA) {
  TempDir dir;
  spell::TAcropSpell s;
  EXPECT_EQ(s.CreateUserDictionary(dir.File("tovu.dct"), {}), 0);
  const std::string bytes = spelltest::ReadBytes(dir.File("tovu.dct"));
  EXPECT_EQ(bytes.rfind("USER DICTIONARY\r\n", 0), 0u);
  const spell::SectionHeader h = headerOf(bytes);
  EXPECT_EQ(h.inUse, 1u);
  EXPECT_EQ(h.capacity, 500u);
  EXPECT_EQ(h.words, 1u);
  EXPECT_EQ(h.kind, 0);
  EXPECT_EQ(h.offset, bytes.find(char(spell::kPreambleEnd)) + 1);
  ASSERT_EQ(bytes.size(), h.offset + spell::kHeaderSize + 500 * spell::kNodeSize);
  const auto* nodes =
      reinterpret_cast<const unsigned char*>(bytes.data()) + h.offset + spell::kHeaderSize;
  const spell::Node a = spell::DecodeNode(nodes);
  EXPECT_EQ(a.Letter(), 0);
  EXPECT_TRUE(a.IsLast() && a.EndsWord());
  EXPECT_EQ(a.child, spell::kNoChild);
  for (int i = 1; i < 500; ++i)
    ASSERT_EQ(spell::DecodeNode(nodes + i * spell::kNodeSize).child, spell::kFreeSlot);
  EXPECT_FALSE(s.IsWordKnown("AN"));
  EXPECT_FALSE(s.IsWordKnown("AA"));
  // It cannot serve as a main dictionary, nor a main dictionary as a user one.
  EXPECT_FALSE(s.OpenMainDictionary(dir.File("tovu.dct")));
  spelltest::WriteBytes(dir.File("main.dct"),
                        spelltest::ReadBytes(spelltest::MakeMainDictionary(dir, {"WORD"})));
  EXPECT_EQ(s.OpenUserDictionary(dir.File("main.dct")), -1);
  EXPECT_FALSE(s.LastError().empty());
}

TEST(UserDictionary, AdditionsInsertIntoSiblingListsAndRenumber) {
  TempDir dir;
  const std::vector<std::string> words = {"CAT",       "DOG",   "CAR",    "BAT",   "CART",
                                          "DOT",       "AB",    "ZEBRA",  "CARTS", "BE",
                                          "\xC9T\xC9", "co-op", "o'clock"};
  spell::TAcropSpell s;
  const int handle = s.CreateUserDictionary(dir.File("tovu.dct"), {});
  for (const std::string& w : words) {
    EXPECT_TRUE(s.AddUserWord(w, handle)) << w << ": " << s.LastError();
    EXPECT_TRUE(s.IsWordKnown(w)) << w;
  }
  EXPECT_TRUE(s.AddUserWord("cat", handle)) << "a word already there";
  spell::TAcropSpell again;
  ASSERT_EQ(again.OpenUserDictionary(dir.File("tovu.dct")), 0);
  for (const std::string& w : words)
    EXPECT_TRUE(again.IsWordKnown(w)) << w;
  for (const char* w : {"CA", "DO", "CARTSS", "ZEBR", "BEE", "ABC"})
    EXPECT_FALSE(again.IsWordKnown(w)) << w;
  EXPECT_EQ(headerOf(spelltest::ReadBytes(dir.File("tovu.dct"))).words, words.size() + 1);
  // Every node is reached once: suggestions find no loop or shared node.
  again.Suggest("CARTZ");
  EXPECT_EQ(again.LastError().find("damaged"), std::string::npos) << again.LastError();
}

TEST(UserDictionary, RefusesLongWordsForeignLettersAndUnknownHandles) {
  TempDir dir;
  spell::TAcropSpell s;
  const int handle = s.CreateUserDictionary(dir.File("tovu.dct"), {});
  const std::string before = spelltest::ReadBytes(dir.File("tovu.dct"));
  EXPECT_FALSE(s.AddUserWord(std::string(26, 'Q'), handle));
  EXPECT_FALSE(s.AddUserWord("C3PO", handle));
  EXPECT_FALSE(s.AddUserWord("", handle));
  EXPECT_FALSE(s.AddUserWord("WORD", handle + 1));
  EXPECT_EQ(spelltest::ReadBytes(dir.File("tovu.dct")), before);
  EXPECT_TRUE(s.AddUserWord(std::string(25, 'Q'), handle));
  EXPECT_TRUE(s.IsWordKnown(std::string(25, 'q')));
  EXPECT_EQ(s.OpenUserDictionary(dir.File("missing.dct")), -1);
}

TEST(UserDictionary, FiveThousandWordsSurviveAndReopen) {
  TempDir dir;
  const std::vector<std::string> words = sampleWords(5100, 15);
  ASSERT_EQ(words.size(), 5100u);
  spell::TAcropSpell s;
  const int handle = s.CreateUserDictionary(dir.File("tovu.dct"), {});
  for (std::size_t i = 0; i < 5000; ++i) {
    ASSERT_TRUE(s.AddUserWord(words[i], handle)) << words[i] << ": " << s.LastError();
    ASSERT_TRUE(s.IsWordKnown(words[i])) << words[i];
  }
  spell::TAcropSpell again;
  ASSERT_EQ(again.OpenUserDictionary(dir.File("tovu.dct")), 0);
  for (std::size_t i = 0; i < 5000; ++i)
    ASSERT_TRUE(again.IsWordKnown(words[i])) << words[i];
  std::size_t strangers = 0;
  for (std::size_t i = 5000; i < words.size(); ++i)
    strangers += again.IsWordKnown(words[i]);
  EXPECT_EQ(strangers, 0u) << "words never added";
  EXPECT_EQ(headerOf(spelltest::ReadBytes(dir.File("tovu.dct"))).words, 5001u);
}

TEST(UserDictionary, FullDictionaryRefusesWithoutDamage) {
  TempDir dir;
  spell::TAcropSpell s;
  const int handle = s.CreateUserDictionary(dir.File("tovu.dct"), {});
  std::mt19937 random(3);
  std::vector<std::string> added;
  for (;;) {
    std::string w;
    for (int k = 0; k < 20; ++k)
      w += char('A' + random() % 26);
    const std::string before = spelltest::ReadBytes(dir.File("tovu.dct"));
    if (!s.AddUserWord(w, handle)) {
      EXPECT_EQ(spelltest::ReadBytes(dir.File("tovu.dct")), before) << "a refusal changes nothing";
      EXPECT_FALSE(s.IsWordKnown(w));
      break;
    }
    added.push_back(w);
    ASSERT_LT(added.size(), 5000u) << "the node limit never came";
  }
  const spell::SectionHeader h = headerOf(spelltest::ReadBytes(dir.File("tovu.dct")));
  EXPECT_LE(h.inUse, spell::kMaxNodes);
  EXPECT_GT(h.inUse + 20, spell::kMaxNodes);
  EXPECT_FALSE(s.AddUserWord("ANOTHERWORDOFTWENTYXY", handle));
  spell::TAcropSpell again;
  ASSERT_NE(again.OpenUserDictionary(dir.File("tovu.dct")), -1) << again.LastError();
  for (const std::string& w : added)
    ASSERT_TRUE(again.IsWordKnown(w)) << w;
}

TEST(UserDictionary, AFailedWriteKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("tovu.dct");
  {
    spell::TAcropSpell s;
    s.CreateUserDictionary(path, {"KEEPME"});
  }
  const std::string before = spelltest::ReadBytes(path);
  // A child process may write only a few bytes per file: the new file stops
  // in mid-write, as on a full disk or a crash.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{512, 512};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    spell::TAcropSpell s;
    const int handle = s.OpenUserDictionary(path);
    const bool added = s.AddUserWord("LOSTWORD", handle);
    const bool stillKnown = s.IsWordKnown("LOSTWORD");
    ::_exit(handle == 0 && !added && !stillKnown ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the addition must fail and be forgotten";
  EXPECT_EQ(spelltest::ReadBytes(path), before);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
    ++files;
  EXPECT_EQ(files, 1u) << "no temporary file is left behind";
  spell::TAcropSpell s;
  ASSERT_EQ(s.OpenUserDictionary(path), 0);
  EXPECT_TRUE(s.IsWordKnown("KEEPME"));
  EXPECT_FALSE(s.IsWordKnown("LOSTWORD"));
}

TEST(UserDictionary, WordsAddedByAnotherCopyAreSeen) {
  TempDir dir;
  spell::TAcropSpell first, second;
  const int h1 = first.CreateUserDictionary(dir.File("tovu.dct"), {});
  const int h2 = second.OpenUserDictionary(dir.File("tovu.dct"));
  ASSERT_GE(h2, 0);
  EXPECT_FALSE(second.IsWordKnown("FAXED"));
  ASSERT_TRUE(first.AddUserWord("FAXED", h1));
  // Lookups look at the file again once the recheck interval has passed.
  std::this_thread::sleep_for(spell::UserDictionary::kRecheckInterval +
                              std::chrono::milliseconds(50));
  EXPECT_TRUE(second.IsWordKnown("FAXED"));
  // The second copy adds on top of the first one's word, not over it.
  ASSERT_TRUE(second.AddUserWord("FAXES", h2));
  EXPECT_TRUE(first.IsWordKnown("FAXES"));
  EXPECT_TRUE(first.IsWordKnown("FAXED"));
}

TEST(UserDictionary, StrayNodeNumbersRefuseAdditionsAndKeepTheFile) {
  TempDir dir;
  spell::TAcropSpell maker;
  maker.CreateUserDictionary(dir.File("tovu.dct"), {"AB"});
  std::string bytes = spelltest::ReadBytes(dir.File("tovu.dct"));
  const spell::SectionHeader h = headerOf(bytes);
  // Node 1 is "A"; point its children far beyond the nodes in use.
  auto* node1 = reinterpret_cast<unsigned char*>(bytes.data()) + h.offset + spell::kHeaderSize;
  spell::EncodeNode({400, std::uint8_t(spell::kLastSibling | spell::kWordEnd)}, node1);
  spelltest::WriteBytes(dir.File("tovu.dct"), bytes);
  spell::TAcropSpell s;
  const int handle = s.OpenUserDictionary(dir.File("tovu.dct"));
  ASSERT_EQ(handle, 0);
  EXPECT_FALSE(s.IsWordKnown("AB"));
  EXPECT_FALSE(s.AddUserWord("ABC", handle));
  EXPECT_FALSE(s.LastError().empty());
  EXPECT_EQ(spelltest::ReadBytes(dir.File("tovu.dct")), bytes);
}
