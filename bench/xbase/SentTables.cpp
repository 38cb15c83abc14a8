#include "SentTables.h"

#include "xbase/Table.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace xbbench {

namespace fs = std::filesystem;

SentRow makeRow(int i) {
  SentRow r;
  char date[9], time[6];
  std::snprintf(date, sizeof date, "20%02d%02d%02d", 15 + i % 10, 1 + i / 10 % 12, 1 + i / 7 % 28);
  std::snprintf(time, sizeof time, "%02d:%02d", i / 3 % 24, i % 60);
  r.sent = i % 13 != 0;
  r.date = r.sent ? date : "";
  r.time = r.sent ? time : "";
  r.subject = "Invoice " + std::to_string(i);
  r.recipient = "Customer " + std::to_string(i % 977);
  r.phone = "+1 555 " + std::to_string(1000 + i % 9000);
  r.result = r.sent ? "OK" : "Line busy";
  r.pages = 1 + i % 20;
  r.cover = i % 3 ? "" : "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\r\n\\pard Cover\\par\r\n}";
  r.doc = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\r\n\\pard\\f0\\fs20 " +
          std::string(200 + i % 600, 'x') + "\\par\r\n}";
  return r;
}

// Folders of a few hundred megabytes in all: removed when the program ends.
std::string scratchDir(const std::string& name) {
  static auto* made = new std::vector<fs::path>;
  if (made->empty())
    std::atexit([] {
      std::error_code ec;
      for (const auto& d : *made)
        fs::remove_all(d, ec);
    });
  fs::path dir = fs::temp_directory_path() / ("xbase-bench-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  made->push_back(dir);
  return dir.string();
}

void copyFolder(const std::string& from, const std::string& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

void buildEngineTable(const std::string& dir, int rows) {
  std::string path = dir + "/TOV.DBF";
  xbase::TableCreator c(path, 10);
  c.addField("SUBJECT", 'C', 50);
  c.addField("SENT", 'L', 1);
  c.addField("DATESENT", 'D', 8);
  c.addField("TIMESENT", 'C', 5);
  c.addField("RECIPIENT", 'C', 35);
  c.addField("PHONE", 'C', 25);
  c.addField("PAGES", 'N', 2);
  c.addField("LASTRESULT", 'C', 100);
  c.addField("RTFCOVER", 'M', 10);
  c.addField("RTFDOC", 'M', 10);
  c.execute();
  xbase::Table t;
  t.open(path);
  t.indexTag("DATESENT", "DTOS(DATESENT)+TIMESENT", true, ".not. deleted()");
  for (int i = 0; i < rows; ++i) {
    SentRow r = makeRow(i);
    t.append();
    t.setField("SUBJECT", r.subject);
    t.setLogical("SENT", r.sent);
    t.setDate("DATESENT", r.date);
    t.setField("TIMESENT", r.time);
    t.setField("RECIPIENT", r.recipient);
    t.setField("PHONE", r.phone);
    t.setNumber("PAGES", r.pages);
    t.setField("LASTRESULT", r.result);
    t.setMemo("RTFCOVER", r.cover);
    t.setMemo("RTFDOC", r.doc);
    t.post();
  }
}

static void exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
}

sqlite3* openSqlite(const std::string& dir) {
  sqlite3* db = nullptr;
  if (sqlite3_open((dir + "/sent.db").c_str(), &db) != SQLITE_OK)
    throw std::runtime_error("sqlite open failed");
  exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;");
  return db;
}

void buildSqliteTable(const std::string& dir, int rows) {
  sqlite3* db = openSqlite(dir);
  exec(db, "CREATE TABLE sent(subject TEXT, sent INTEGER, datesent TEXT, timesent TEXT,"
           " recipient TEXT, phone TEXT, pages INTEGER, lastresult TEXT, rtfcover BLOB,"
           " rtfdoc BLOB, deleted INTEGER NOT NULL DEFAULT 0);"
           "CREATE INDEX datesent ON sent(datesent DESC, timesent DESC) WHERE deleted = 0;");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO sent VALUES(?,?,?,?,?,?,?,?,?,?,0)", -1, &insert, nullptr);
  for (int i = 0; i < rows; ++i) {
    SentRow r = makeRow(i);
    sqlite3_bind_text(insert, 1, r.subject.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 2, r.sent);
    sqlite3_bind_text(insert, 3, r.date.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, r.time.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 5, r.recipient.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 6, r.phone.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 7, r.pages);
    sqlite3_bind_text(insert, 8, r.result.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 9, r.cover.data(), int(r.cover.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 10, r.doc.data(), int(r.doc.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(insert) != SQLITE_DONE)
      throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

} // namespace xbbench
