#include "archive/ArchiveIndex.h"

#include "archive/FaxText.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>

namespace archive {

namespace {

bool isDamage(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// One prepared statement, finalized when it goes out of scope.
class Statement {
public:
  Statement(sqlite3* db, const char* sql) : m_db(db) {
    m_code = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int code() const { return m_code; }
  Statement& bind(int i, const std::string& text) {
    if (m_code == SQLITE_OK)
      m_code = sqlite3_bind_text(m_stmt, i, text.data(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& blob(int i, const std::string& bytes) {
    if (m_code == SQLITE_OK)
      m_code = sqlite3_bind_blob(m_stmt, i, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind(int i, int64_t value) {
    if (m_code == SQLITE_OK)
      m_code = sqlite3_bind_int64(m_stmt, i, value);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step() {
    if (m_code != SQLITE_OK && m_code != SQLITE_ROW && m_code != SQLITE_DONE)
      return m_code;
    m_code = sqlite3_step(m_stmt);
    return m_code;
  }
  std::string text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return p ? std::string(p, std::size_t(sqlite3_column_bytes(m_stmt, column))) : std::string();
  }
  std::string bytes(int column) const {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    return p ? std::string(p, std::size_t(sqlite3_column_bytes(m_stmt, column))) : std::string();
  }
  int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
  sqlite3* m_db;
  sqlite3_stmt* m_stmt = nullptr;
  int m_code = SQLITE_OK;
};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS faxes(id INTEGER PRIMARY KEY, name TEXT UNIQUE NOT NULL,"
    " size INTEGER NOT NULL, mtime INTEGER NOT NULL, pages INTEGER NOT NULL);"
    "CREATE VIRTUAL TABLE IF NOT EXISTS fax_text USING fts5(remote, body,"
    " tokenize = 'unicode61 remove_diacritics 2', prefix = '2 3');"
    "CREATE TABLE IF NOT EXISTS boxes(id INTEGER PRIMARY KEY, data BLOB NOT NULL);";

// Raised whenever the tables change: an index of an older form is made anew
// from the faxes rather than altered.
constexpr int kSchemaVersion = 2;

// Pages are kept as one text per fax, separated by form feeds, which the
// tokenizer treats as white space.
constexpr char kPageBreak = '\f';

} // namespace

FileStamp StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return {-1, 0};
  return {int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string MatchQuery(const std::string& words) {
  std::string query;
  for (const std::string& word : TextWords(words)) {
    if (!query.empty())
      query += " AND ";
    // TextWords keeps letters and digits only, so no quote can end the term.
    query += "\"" + word + "\"*";
  }
  return query;
}

void ArchiveIndex::Discard(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::remove((path + suffix).c_str());
}

ArchiveIndex::ArchiveIndex(const std::string& path, bool verify) : m_path(path) {
  try {
    try {
      Open();
      if (verify)
        Check();
    } catch (const IndexError& e) {
      if (!e.Damaged())
        throw;
      sqlite3_close_v2(m_db);
      m_db = nullptr;
      Discard(m_path);
      m_rebuilt = true;
      Open();
    }
  } catch (...) {
    // No destructor runs for an object whose constructor throws.
    sqlite3_close_v2(m_db);
    throw;
  }
}

ArchiveIndex::~ArchiveIndex() {
  sqlite3_close_v2(m_db);
}

void ArchiveIndex::Fail(const char* what, int code) {
  const char* message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
  // While opening, a plain error is a file whose tables cannot be read
  // ("unsupported file format", a malformed schema): damage as well.
  const bool damaged = isDamage(code) || (m_opening && (code & 0xff) == SQLITE_ERROR);
  throw IndexError(std::string(what) + " " + m_path + ": " + message, damaged);
}

void ArchiveIndex::Exec(const char* sql) {
  const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    Fail("cannot use the search index", rc);
}

void ArchiveIndex::Open() {
  m_opening = true;
  OpenTables();
  m_opening = false;
}

void ArchiveIndex::OpenTables() {
  const int rc = sqlite3_open_v2(m_path.c_str(), &m_db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  if (rc != SQLITE_OK)
    Fail("cannot open the search index", rc);
  // The OCR worker writes while the window reads through its own connection.
  sqlite3_busy_timeout(m_db, 5000);
  Exec("PRAGMA journal_mode = WAL");
  // The index can always be read again from the faxes: a commit lost to a
  // power cut costs a fax read again, so commits need not wait for the disk.
  Exec("PRAGMA synchronous = NORMAL");
  // Checked and made in one transaction: the window and the reader may
  // open a new index at the same moment.
  Exec("BEGIN IMMEDIATE");
  try {
    if (Version() != kSchemaVersion) {
      Statement tables(m_db, "SELECT count(*) FROM sqlite_master");
      if (tables.step() != SQLITE_ROW || tables.integer(0) != 0)
        throw IndexError("the search index " + m_path + " is of an older form", true);
      Exec(kSchema);
      Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    }
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

int ArchiveIndex::Version() {
  Statement version(m_db, "PRAGMA user_version");
  const int rc = version.step();
  if (rc != SQLITE_ROW)
    Fail("cannot read the search index", rc);
  return int(version.integer(0));
}

// Finds damage the opening does not: broken pages, and an FTS index that no
// longer agrees with its rows.
void ArchiveIndex::Check() {
  Statement check(m_db, "PRAGMA quick_check");
  const int rc = check.step();
  if (rc != SQLITE_ROW)
    Fail("cannot check the search index", rc);
  if (check.text(0) != "ok")
    throw IndexError("the search index " + m_path + " is damaged: " + check.text(0), true);
  const int fts = sqlite3_exec(m_db, "INSERT INTO fax_text(fax_text) VALUES('integrity-check')",
                               nullptr, nullptr, nullptr);
  if (fts != SQLITE_OK)
    Fail("the search index is damaged:", isDamage(fts) ? fts : SQLITE_CORRUPT);
}

bool ArchiveIndex::IsCurrent(const std::string& name, const FileStamp& stamp) {
  Statement q(m_db, "SELECT size, mtime FROM faxes WHERE name = ?");
  const int rc = q.bind(1, name).step();
  if (rc == SQLITE_DONE)
    return false;
  if (rc != SQLITE_ROW)
    Fail("cannot read the search index", rc);
  return FileStamp{q.integer(0), q.integer(1)} == stamp;
}

void ArchiveIndex::Store(const std::string& name, const FileStamp& stamp, const FaxText& text) {
  std::string body;
  for (std::size_t i = 0; i < text.Pages.size(); ++i) {
    if (i)
      body += kPageBreak;
    body += text.Pages[i];
  }
  Exec("BEGIN IMMEDIATE");
  try {
    Remove(name);
    Statement add(m_db, "INSERT INTO faxes(name, size, mtime, pages) VALUES(?, ?, ?, ?)");
    int rc = add.bind(1, name).bind(2, stamp.Size).bind(3, stamp.MTime)
                 .bind(4, int64_t(text.Pages.size())).step();
    if (rc != SQLITE_DONE)
      Fail("cannot write the search index", rc);
    Statement words(m_db, "INSERT INTO fax_text(rowid, remote, body) VALUES(?, ?, ?)");
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    rc = words.bind(1, id).bind(2, text.RemoteId).bind(3, body).step();
    if (rc != SQLITE_DONE)
      Fail("cannot write the search index", rc);
    Statement boxes(m_db, "INSERT INTO boxes(id, data) VALUES(?, ?)");
    rc = boxes.bind(1, id).blob(2, EncodeWordBoxes(text.Words)).step();
    if (rc != SQLITE_DONE)
      Fail("cannot write the search index", rc);
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void ArchiveIndex::Remove(const std::string& name) {
  Statement words(m_db, "DELETE FROM fax_text WHERE rowid IN (SELECT id FROM faxes WHERE name = ?)");
  int rc = words.bind(1, name).step();
  if (rc != SQLITE_DONE)
    Fail("cannot write the search index", rc);
  Statement boxes(m_db, "DELETE FROM boxes WHERE id IN (SELECT id FROM faxes WHERE name = ?)");
  rc = boxes.bind(1, name).step();
  if (rc != SQLITE_DONE)
    Fail("cannot write the search index", rc);
  Statement row(m_db, "DELETE FROM faxes WHERE name = ?");
  rc = row.bind(1, name).step();
  if (rc != SQLITE_DONE)
    Fail("cannot write the search index", rc);
}

std::vector<std::string> ArchiveIndex::Names() {
  Statement q(m_db, "SELECT name FROM faxes ORDER BY mtime DESC");
  std::vector<std::string> names;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW)
    names.push_back(q.text(0));
  if (rc != SQLITE_DONE)
    Fail("cannot read the search index", rc);
  return names;
}

int ArchiveIndex::Count() {
  Statement q(m_db, "SELECT count(*) FROM faxes");
  const int rc = q.step();
  if (rc != SQLITE_ROW)
    Fail("cannot read the search index", rc);
  return int(q.integer(0));
}

std::vector<std::string> ArchiveIndex::Search(const std::string& words) {
  const std::string match = MatchQuery(words);
  std::vector<std::string> names;
  if (match.empty())
    return names;
  Statement q(m_db, "SELECT f.name FROM fax_text JOIN faxes f ON f.id = fax_text.rowid"
                    " WHERE fax_text MATCH ? ORDER BY f.mtime DESC");
  q.bind(1, match);
  int rc;
  while ((rc = q.step()) == SQLITE_ROW)
    names.push_back(q.text(0));
  if (rc != SQLITE_DONE)
    Fail("cannot search the index", rc);
  return names;
}

std::unordered_set<std::string> ArchiveIndex::NamesWithWord(const std::string& word) {
  const std::vector<std::string> names = Search(word);
  return {names.begin(), names.end()};
}

std::string ArchiveIndex::PageText(const std::string& name, int page) {
  Statement q(m_db, "SELECT t.body FROM fax_text t JOIN faxes f ON f.id = t.rowid WHERE f.name = ?");
  const int rc = q.bind(1, name).step();
  if (rc == SQLITE_DONE)
    return {};
  if (rc != SQLITE_ROW)
    Fail("cannot read the search index", rc);
  const std::string body = q.text(0);
  std::size_t start = 0;
  for (int n = 1; n < page; ++n) {
    start = body.find(kPageBreak, start);
    if (start == std::string::npos)
      return {};
    ++start;
  }
  const std::size_t end = body.find(kPageBreak, start);
  return body.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<PageWords> ArchiveIndex::Words(const std::string& name) {
  Statement q(m_db, "SELECT b.data FROM boxes b JOIN faxes f ON f.id = b.id"
                    " WHERE f.name = ? COLLATE NOCASE");
  const int rc = q.bind(1, name).step();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE)
    Fail("cannot read the search index", rc);
  std::vector<PageWords> pages;
  if (rc == SQLITE_ROW)
    DecodeWordBoxes(q.bytes(0), pages); // damaged boxes only cost the marks
  return pages;
}

} // namespace archive
