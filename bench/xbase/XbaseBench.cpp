// The table engine against SQLite on the Sent table's work: appending with
// the date tag maintained, walking in tag order, deleting every third record
// and packing, opening a large table to show its first screen of rows, and
// checking the whole table's structure.

#include "SentTables.h"

#include "xbase/FileIo.h"
#include "xbase/Table.h"

#include <benchmark/benchmark.h>

using namespace xbbench;

namespace {

// Tables of kRows rows built once and copied for benchmarks that change them.
const std::string& preparedEngine() {
  static const std::string dir = [] {
    std::string d = scratchDir("engine-prepared");
    buildEngineTable(d, kRows);
    return d;
  }();
  return dir;
}

const std::string& preparedSqlite() {
  static const std::string dir = [] {
    std::string d = scratchDir("sqlite-prepared");
    buildSqliteTable(d, kRows);
    return d;
  }();
  return dir;
}

void openSent(xbase::Table& t, const std::string& dir) {
  xbase::TableEnv::setDeleted(true);
  t.open(dir + "/TOV.DBF");
  t.setFilter(".not. deleted()");
  t.setOrder("DATESENT");
}

const char* const kOrderedQuery = "SELECT subject, datesent, timesent FROM sent WHERE deleted = 0"
                                  " ORDER BY datesent DESC, timesent DESC";

void BM_AppendEngine(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string dir = scratchDir("engine-append");
    state.ResumeTiming();
    buildEngineTable(dir, kRows);
  }
}

void BM_AppendSqlite(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string dir = scratchDir("sqlite-append");
    state.ResumeTiming();
    buildSqliteTable(dir, kRows);
  }
}

void BM_WalkTagEngine(benchmark::State& state) {
  const std::string& dir = preparedEngine();
  for (auto _ : state) {
    xbase::Table t;
    openSent(t, dir);
    size_t bytes = 0;
    for (t.first(); !t.eof(); t.next())
      bytes += t.fieldRaw("SUBJECT").size() + t.fieldRaw("DATESENT").size() +
               t.fieldRaw("TIMESENT").size();
    benchmark::DoNotOptimize(bytes);
  }
}

void BM_WalkTagSqlite(benchmark::State& state) {
  const std::string& dir = preparedSqlite();
  for (auto _ : state) {
    sqlite3* db = openSqlite(dir);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, kOrderedQuery, -1, &q, nullptr);
    size_t bytes = 0;
    while (sqlite3_step(q) == SQLITE_ROW)
      for (int c = 0; c < 3; ++c)
        bytes += size_t(sqlite3_column_bytes(q, c)) + (sqlite3_column_text(q, c) ? 1 : 0);
    benchmark::DoNotOptimize(bytes);
    sqlite3_finalize(q);
    sqlite3_close(db);
  }
}

void BM_DeleteThirdAndPackEngine(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string dir = scratchDir("engine-pack");
    copyFolder(preparedEngine(), dir);
    state.ResumeTiming();
    xbase::Table t;
    openSent(t, dir);
    for (long r = 3; r <= kRows; r += 3) {
      t.go(r);
      t.deleteRecord();
    }
    t.pack();
  }
}

void BM_DeleteThirdAndPackSqlite(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string dir = scratchDir("sqlite-pack");
    copyFolder(preparedSqlite(), dir);
    state.ResumeTiming();
    sqlite3* db = openSqlite(dir);
    sqlite3_stmt* del = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM sent WHERE rowid = ?", -1, &del, nullptr);
    for (int r = 3; r <= kRows; r += 3) { // one transaction per record, as the engine posts
      sqlite3_bind_int(del, 1, r);
      sqlite3_step(del);
      sqlite3_reset(del);
    }
    sqlite3_finalize(del);
    sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
}

void BM_OpenFirst30Engine(benchmark::State& state) {
  const std::string& dir = preparedEngine();
  for (auto _ : state) {
    xbase::Table t;
    openSent(t, dir);
    size_t bytes = 0;
    int rows = 0;
    for (t.first(); !t.eof() && rows < 30; t.next(), ++rows)
      bytes += t.fieldRaw("SUBJECT").size() + t.fieldRaw("RECIPIENT").size();
    benchmark::DoNotOptimize(bytes);
  }
}

void BM_OpenFirst30Sqlite(benchmark::State& state) {
  const std::string& dir = preparedSqlite();
  std::string query = std::string(kOrderedQuery) + " LIMIT 30";
  for (auto _ : state) {
    sqlite3* db = openSqlite(dir);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, query.c_str(), -1, &q, nullptr);
    size_t bytes = 0;
    while (sqlite3_step(q) == SQLITE_ROW)
      bytes += size_t(sqlite3_column_bytes(q, 0));
    benchmark::DoNotOptimize(bytes);
    sqlite3_finalize(q);
    sqlite3_close(db);
  }
}

// An index without this engine's stamp of its table file (written by another
// engine, or by an older version of this one) gets a full key count check on
// its first open, and the stamp on close: the one-time cost at kRows rows.
void BM_OpenFirst30EngineUnstampedIndex(benchmark::State& state) {
  std::string dir = scratchDir("engine-unstamped");
  copyFolder(preparedEngine(), dir);
  for (auto _ : state) {
    state.PauseTiming();
    {
      xbase::File cdx;
      cdx.open(dir + "/TOV.CDX", false);
      const uint8_t none[24] = {};
      cdx.writeAt(448, none, sizeof none);
    }
    state.ResumeTiming();
    xbase::Table t;
    openSent(t, dir);
    int rows = 0;
    for (t.first(); !t.eof() && rows < 30; t.next(), ++rows)
      benchmark::DoNotOptimize(t.fieldRaw("SUBJECT"));
  }
}

// The structural check of the maintenance window against SQLite's own
// integrity check of the same rows.
void BM_CheckEngine(benchmark::State& state) {
  xbase::Table t;
  openSent(t, preparedEngine());
  for (auto _ : state) {
    std::vector<std::string> findings = t.checkStructure();
    if (!findings.empty())
      state.SkipWithError(findings.front().c_str());
  }
}

void BM_CheckSqlite(benchmark::State& state) {
  sqlite3* db = openSqlite(preparedSqlite());
  for (auto _ : state)
    sqlite3_exec(db, "PRAGMA integrity_check", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

} // namespace

BENCHMARK(BM_AppendEngine)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AppendSqlite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WalkTagEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkTagSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteThirdAndPackEngine)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DeleteThirdAndPackSqlite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_OpenFirst30Engine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFirst30Sqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFirst30EngineUnstampedIndex)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CheckEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckSqlite)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
