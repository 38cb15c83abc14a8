// Suggestion quality on 1,000 seeded single-edit misspellings of common
// words: how often the intended word is among the suggestions, and how often
// it comes first, for our engine and for Hunspell en_US on the same sample.
//   spell_accuracy [COUNT] [SEED]
#include "Peers.h"
#include "SpellSample.h"

#include "spell/Letters.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct Tally {
  std::size_t among = 0, first = 0, none = 0;
};

void count(Tally& t, const std::vector<std::string>& got, const std::string& intended) {
  const std::string want = spell::ToCapitals(intended);
  auto same = [&](const std::string& s) { return spell::ToCapitals(s) == want; };
  if (got.empty())
    ++t.none;
  if (!got.empty() && same(got.front()))
    ++t.first;
  if (std::any_of(got.begin(), got.end(), same))
    ++t.among;
}

void report(const char* name, const Tally& t, std::size_t n) {
  std::printf("%-22s among suggestions %5.1f %%   first %5.1f %%   none %zu\n", name,
              100.0 * double(t.among) / double(n), 100.0 * double(t.first) / double(n), t.none);
}

} // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
  const unsigned seed = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 2026;
  auto ours = spellbench::OpenOurs();
  auto hun = spellbench::OpenHunspell();
  // A misspelling either checker takes for a word is no misspelling to correct.
  const auto sample = spellbench::MakeMisspellings(n, seed, [&](const std::string& w) {
    return ours->IsWordKnown(w) || spellbench::HunspellKnows(*hun, w);
  });
  Tally t, h, h10;
  for (const spellbench::Misspelling& m : sample) {
    count(t, ours->Suggest(m.typo), m.intended);
    std::vector<std::string> hs = hun->suggest(spell::AnsiToUtf8(m.typo));
    for (std::string& s : hs) {
      std::string ansi;
      s = spell::Utf8ToAnsi(s, ansi) ? ansi : s;
    }
    count(h, hs, m.intended);
    if (hs.size() > 10)
      hs.resize(10);
    count(h10, hs, m.intended);
  }
  std::printf("%zu single-edit misspellings of common words (seed %u)\n", sample.size(), seed);
  report("tolvane (10 at most)", t, sample.size());
  report("hunspell en_US", h, sample.size());
  report("hunspell, first 10", h10, sample.size());
  return 0;
}
