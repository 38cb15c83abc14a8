#pragma once
// The Sent table (fields and DATESENT tag as the program uses them) built
// with the table engine and, for comparison, as an SQLite table with the
// equivalent index, from the same generated rows.

#include <sqlite3.h>

#include <string>

namespace xbbench {

constexpr int kRows = 100000;

struct SentRow {
  std::string subject, date, time, recipient, phone, result, cover, doc;
  int pages = 0;
  bool sent = false;
};

// Deterministic row i: dates over ten years, some unsent (blank date).
SentRow makeRow(int i);

std::string scratchDir(const std::string& name); // fresh, empty folder
void copyFolder(const std::string& from, const std::string& to);

// Creates TOV.DBF with its tag in dir and appends `rows` rows.
void buildEngineTable(const std::string& dir, int rows);
// Creates sent.db in dir with the index and inserts `rows` rows, one
// transaction per row (WAL, synchronous off: like the engine, it survives
// a killed process but does not wait for the disk).
void buildSqliteTable(const std::string& dir, int rows);
sqlite3* openSqlite(const std::string& dir);

} // namespace xbbench
