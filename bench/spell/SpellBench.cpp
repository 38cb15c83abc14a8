// Lookup and suggestions per word over a seeded 10,000-word document, our
// engine against Hunspell en_US in the same run. Suggestions are asked for
// the words the checker does not know, as a spelling check does.
#include "Peers.h"
#include "SpellSample.h"

#include "spell/LetterTree.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <unistd.h>

namespace {

struct Document {
  std::vector<std::string> words; // Windows-1252
  std::vector<std::string> utf8;  // the same for Hunspell
  std::vector<std::string> misspelled;
  std::vector<std::string> misspelledUtf8;
};

const Document& document() {
  static const Document doc = [] {
    auto ours = spellbench::OpenOurs();
    auto hun = spellbench::OpenHunspell();
    Document d;
    d.words = spellbench::MakeDocument(10000, 7, [&](const std::string& w) {
      return ours->IsWordKnown(w) || spellbench::HunspellKnows(*hun, w);
    });
    for (const std::string& w : d.words) {
      d.utf8.push_back(spell::AnsiToUtf8(w));
      if (!ours->IsWordKnown(w)) {
        d.misspelled.push_back(w);
        d.misspelledUtf8.push_back(d.utf8.back());
      }
    }
    return d;
  }();
  return doc;
}

// Runs check over every word of the list per iteration and reports the
// time per word.
template <typename Check>
void perWord(benchmark::State& state, const std::vector<std::string>& words, Check check) {
  std::size_t hits = 0;
  for (auto _ : state)
    for (const std::string& w : words)
      hits += check(w);
  benchmark::DoNotOptimize(hits);
  state.counters["per_word"] =
      benchmark::Counter(double(words.size()), benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
}

void BM_IsWordKnown_Tolvane(benchmark::State& state) {
  auto s = spellbench::OpenOurs();
  perWord(state, document().words, [&](const std::string& w) { return s->IsWordKnown(w); });
}

// The same with the dictionary read from disk through the 1024-slot node
// caches instead of held in memory.
void BM_IsWordKnown_TolvaneNodeCache(benchmark::State& state) {
  spell::MainDictionaryFile::SetMemoryLimit(0);
  auto s = spellbench::OpenOurs();
  spell::MainDictionaryFile::SetMemoryLimit(std::uint64_t(32) << 20);
  perWord(state, document().words, [&](const std::string& w) { return s->IsWordKnown(w); });
}

// As the spelling check runs: a user dictionary open beside the main one,
// whose file is looked at before each lookup for another writer's words.
void BM_IsWordKnown_TolvaneWithUserDictionary(benchmark::State& state) {
  char path[] = "/tmp/bench-spell-user-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd >= 0)
    ::close(fd);
  auto s = spellbench::OpenOurs();
  if (s->CreateUserDictionary(path, {"Tolvane", "faxed"}) < 0)
    state.SkipWithError("cannot create a user dictionary");
  perWord(state, document().words, [&](const std::string& w) { return s->IsWordKnown(w); });
  ::unlink(path);
}

void BM_IsWordKnown_Hunspell(benchmark::State& state) {
  auto h = spellbench::OpenHunspell();
  perWord(state, document().utf8, [&](const std::string& w) { return h->spell(w); });
}

void BM_Suggest_Tolvane(benchmark::State& state) {
  auto s = spellbench::OpenOurs();
  perWord(state, document().misspelled, [&](const std::string& w) { return s->Suggest(w).size(); });
}

void BM_Suggest_Hunspell(benchmark::State& state) {
  auto h = spellbench::OpenHunspell();
  perWord(state, document().misspelledUtf8,
          [&](const std::string& w) { return h->suggest(w).size(); });
}

} // namespace

BENCHMARK(BM_IsWordKnown_Tolvane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsWordKnown_TolvaneNodeCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsWordKnown_TolvaneWithUserDictionary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsWordKnown_Hunspell)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Suggest_Tolvane)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Suggest_Hunspell)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
