// The structural check of an open table: DBF header, dates, memo pointers
// and every index tag, read from the files as other programs would see them.

#include "xbase/TableImpl.h"

#include "xbase/XBaseError.h"

#include <algorithm>

namespace xbase {

namespace {

std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr size_t kMaxRecordFindings = 20;

class TableChecker {
public:
  TableChecker(Table::Impl& m, std::vector<std::string>& findings)
      : m_(m), m_findings(findings), m_table(baseName(m.path) + ": ") {}

  void run() {
    checkHeader();
    readRecords();
    checkRecords();
    for (size_t t = 0; t < m_.cdx.tagCount(); ++t)
      checkTag(t);
  }

private:
  void checkHeader() {
    uint8_t count[4];
    m_.dbf.file().readAt(4, count, sizeof count);
    if (getLe32(count) != m_.dbf.recordCount())
      m_findings.push_back(m_table + "the header counts " + std::to_string(getLe32(count)) +
                           " records, the file holds " + std::to_string(m_.dbf.recordCount()));
  }

  void readRecords() {
    size_t length = m_.dbf.recordLength();
    m_records.resize(size_t(m_.dbf.recordCount()) * length);
    if (!m_records.empty())
      m_.dbf.file().readAt(m_.dbf.headerLength(), m_records.data(), m_records.size());
  }

  std::string record(uint32_t recNo) const {
    size_t length = m_.dbf.recordLength();
    return m_records.substr(size_t(recNo - 1) * length, length);
  }

  void recordFinding(uint32_t recNo, const std::string& text) {
    if (m_recordFindings++ < kMaxRecordFindings)
      m_findings.push_back(m_table + "record " + std::to_string(recNo) + ": " + text);
  }

  void checkRecords() {
    const auto& fields = m_.dbf.fields();
    for (uint32_t r = 1; r <= m_.dbf.recordCount(); ++r) {
      const char* image = m_records.data() + size_t(r - 1) * m_.dbf.recordLength();
      if (image[0] != ' ' && image[0] != '*')
        recordFinding(r, "deletion mark is neither blank nor '*'");
      for (const auto& f : fields) {
        const char* p = image + f.offset;
        if (f.type == 'D' && std::string(p, 8) != std::string(8, ' ') && !isCalendarDate(p))
          recordFinding(r, f.name + " holds \"" + std::string(p, 8) + "\", which is no date");
        if (f.type == 'M')
          checkMemo(r, f, p);
      }
    }
  }

  void checkMemo(uint32_t recNo, const FieldDef& f, const char* p) {
    try {
      m_.memo.checkBlock(parseMemoPointer(p, f.width));
    } catch (const XBaseError& e) {
      recordFinding(recNo, f.name + ": " + e.what());
    }
  }

  void checkTag(size_t t) {
    std::string where = baseName(m_.cdx.file().path()) + ", tag " + m_.cdx.tagName(t) + ": ";
    std::vector<CdxEntry> keys;
    size_t before = m_findings.size();
    m_.cdx.tree(t).checkPages(where, keys, m_findings);
    if (m_findings.size() != before)
      return; // keys of a broken tree say little more
    std::vector<uint8_t> seen(size_t(m_.dbf.recordCount()) + 1, 0);
    size_t found = 0;
    for (const auto& e : keys) {
      std::string wrong = keyFault(t, e, seen);
      if (!wrong.empty() && found++ < kMaxRecordFindings)
        m_findings.push_back(where + wrong);
    }
    if (found < kMaxRecordFindings)
      checkMissing(t, where, seen);
  }

  // What is wrong with one key of tag t, or "" when it matches its record.
  std::string keyFault(size_t t, const CdxEntry& e, std::vector<uint8_t>& seen) const {
    std::string record = "record " + std::to_string(e.recNo);
    if (e.recNo < 1 || e.recNo > m_.dbf.recordCount())
      return "a key points at " + record + ", which does not exist";
    if (seen[e.recNo]++)
      return record + " has two keys";
    std::string image = this->record(e.recNo);
    if (!m_.inTag(t, image, e.recNo))
      return record + " has a key but fails the tag's condition";
    if (m_.keyOf(t, image, e.recNo) != e.key)
      return "the key of " + record + " differs from its expression over the record";
    return {};
  }

  void checkMissing(size_t t, const std::string& where, const std::vector<uint8_t>& seen) {
    size_t missing = 0;
    uint32_t firstMissing = 0;
    for (uint32_t r = 1; r <= m_.dbf.recordCount(); ++r)
      if (!seen[r] && m_.inTag(t, record(r), r) && missing++ == 0)
        firstMissing = r;
    if (missing)
      m_findings.push_back(where + std::to_string(missing) +
                           " records that pass the tag's condition have no key (the first is "
                           "record " +
                           std::to_string(firstMissing) + ")");
  }

  Table::Impl& m_;
  std::vector<std::string>& m_findings;
  std::string m_table;
  std::string m_records;
  size_t m_recordFindings = 0;
};

} // namespace

std::vector<std::string> Table::checkStructure() {
  m->requireOpen();
  std::vector<std::string> findings;
  TableChecker(*m, findings).run();
  return findings;
}

const std::vector<std::string>& Table::openRepairs() const {
  return m->repairs;
}

} // namespace xbase
