// Searching the index of 10,000 generated faxes (two pages of 250 words
// each, drawn from the system word list) for two words, against the same
// search as a plain scan of the text (LIKE over an ordinary table).
#include "../../tests/faxview/FaxFiles.h"

#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kFaxes = 10000;

std::vector<std::string> vocabulary() {
  std::vector<std::string> words;
  std::ifstream in("/usr/share/dict/words");
  for (std::string w; std::getline(in, w);)
    if (w.size() > 3 && w.find('\'') == std::string::npos)
      words.push_back(w);
  if (words.size() < 1000)
    for (int i = 0; i < 20000; ++i)
      words.push_back("word" + std::to_string(i));
  std::shuffle(words.begin(), words.end(), std::mt19937(26));
  return words;
}

std::string generatedPage(std::mt19937& rng, const std::vector<std::string>& words) {
  // A skewed choice, as in real text: a few words are common, most rare.
  std::geometric_distribution<std::size_t> pick(0.0005);
  std::string page;
  for (int i = 0; i < 250; ++i)
    page += words[pick(rng) % words.size()] + (i % 12 == 11 ? "\n" : " ");
  return page;
}

const std::string& indexPath() {
  static const std::string path = [] {
    const std::string p = faxtest::scratch("search-10000.sqlite");
    archive::ArchiveIndex::Discard(p);
    archive::ArchiveIndex index(p);
    std::mt19937 rng(26);
    const auto words = vocabulary();
    for (int i = 0; i < kFaxes; ++i) {
      archive::FaxText text{"REMOTE " + std::to_string(i % 300),
                            {generatedPage(rng, words), generatedPage(rng, words)}};
      index.Store("FAX" + std::to_string(i) + ".APF", {1, i}, text);
    }
    return p;
  }();
  return path;
}

// Two words of middling frequency: each is in about a fifth of the faxes,
// both together in some hundreds.
const std::string& query() {
  static const std::string q = [] {
    const auto words = vocabulary();
    return words[150] + " " + words[400];
  }();
  return q;
}

void BM_IndexTwoWordQuery(benchmark::State& state) {
  archive::ArchiveIndex index(indexPath());
  std::size_t found = 0;
  for (auto _ : state)
    found = index.Search(query()).size();
  state.counters["faxes"] = index.Count();
  state.counters["found"] = double(found);
}
BENCHMARK(BM_IndexTwoWordQuery)->Unit(benchmark::kMillisecond);

void BM_IndexOneCommonWordPrefix(benchmark::State& state) {
  archive::ArchiveIndex index(indexPath());
  std::size_t found = 0;
  for (auto _ : state)
    found = index.Search("ab").size();
  state.counters["found"] = double(found);
}
BENCHMARK(BM_IndexOneCommonWordPrefix)->Unit(benchmark::kMillisecond);

void BM_PlainScanTwoWords(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(indexPath().c_str(), &db);
  sqlite3_exec(db,
               "CREATE TABLE IF NOT EXISTS plain AS SELECT rowid AS id, remote, body FROM fax_text",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM plain WHERE body LIKE ? AND body LIKE ?", -1, &q,
                     nullptr);
  const std::string first = "%" + query().substr(0, query().find(' ')) + "%";
  const std::string second = "%" + query().substr(query().find(' ') + 1) + "%";
  sqlite3_bind_text(q, 1, first.c_str(), -1, SQLITE_STATIC);
  sqlite3_bind_text(q, 2, second.c_str(), -1, SQLITE_STATIC);
  int64_t found = 0;
  for (auto _ : state) {
    sqlite3_reset(q);
    if (sqlite3_step(q) == SQLITE_ROW)
      found = sqlite3_column_int64(q, 0);
  }
  sqlite3_finalize(q);
  sqlite3_exec(db, "DROP TABLE plain", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  state.counters["found"] = double(found);
}
BENCHMARK(BM_PlainScanTwoWords)->Unit(benchmark::kMillisecond);

} // namespace
