// The record buffer: field values, memos, append/edit/post and the deletion mark.

#include "xbase/TableImpl.h"

#include "xbase/XBaseError.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace xbase {

void Table::Impl::requireOpen() const {
  if (state == TableState::Inactive)
    throw XBaseError(ErrorCode::State, "table is not open");
}

void Table::Impl::requireEditing() const {
  if (state != TableState::Edit && state != TableState::Insert)
    throw XBaseError(ErrorCode::State, "table is not in edit or append mode: " + path);
}

const FieldDef& Table::Impl::field(const std::string& name) const {
  requireOpen();
  std::string wanted = upperName(name);
  for (const auto& f : dbf.fields())
    if (f.name == wanted)
      return f;
  throw XBaseError(ErrorCode::NoField, "no field " + name + " in " + path);
}

// Memos reach the memo file before the record that points at them.
void Table::Impl::writeMemos() {
  for (auto& [index, bytes] : pendingMemos) {
    const FieldDef& f = dbf.fields()[size_t(index)];
    formatMemoPointer(memo.write(bytes), record.data() + f.offset, f.width);
  }
  pendingMemos.clear();
}

void Table::append() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  m->record.assign(m->dbf.recordLength(), ' ');
  m->original.clear();
  m->pendingMemos.clear();
  m->state = TableState::Insert;
}

void Table::edit() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    return;
  if (m->current == 0)
    throw XBaseError(ErrorCode::State, "no current record to edit in " + m->path);
  m->original = m->record;
  m->pendingMemos.clear();
  m->state = TableState::Edit;
}

void Table::post() {
  m->requireOpen();
  if (m->state == TableState::Browse)
    return;
  // Marks the index as being changed before the table is, so that a crash
  // between the two is noticed on the next open.
  if (m->cdx.isOpen())
    m->cdx.beginUpdate();
  m->writeMemos();
  uint32_t recNo;
  if (m->state == TableState::Insert) {
    recNo = m->dbf.append(m->record);
  } else {
    recNo = m->current;
    m->dbf.write(recNo, m->record);
  }
  m->updateIndexes(recNo, m->state == TableState::Edit ? m->original : std::string(), m->record);
  m->state = TableState::Browse;
  m->original.clear();
  m->current = recNo;
  m->eof = m->bof = false;
  m->placeCursor();
}

void Table::cancel() {
  m->requireOpen();
  if (m->state == TableState::Browse)
    return;
  m->state = TableState::Browse;
  m->pendingMemos.clear();
  if (m->current != 0)
    m->dbf.read(m->current, m->record);
  else
    m->record.assign(m->dbf.recordLength(), ' ');
}

namespace {
void setMark(Table& table, Table::Impl& m, char mark, bool moveOn) {
  m.requireOpen();
  if (m.state == TableState::Insert)
    table.cancel();
  if (m.state == TableState::Edit)
    table.post();
  if (m.current == 0)
    throw XBaseError(ErrorCode::State, "no current record in " + m.path);
  if (m.record[0] == mark)
    return;
  table.edit();
  m.record[0] = mark;
  table.post();
  // A deleted record that is hidden leaves the view at once: the next
  // visible record becomes current (or the previous one at the end).
  if (moveOn && !m.visible(m.record, m.current)) {
    table.next();
    if (table.eof())
      table.prior();
    if (!m.visible(m.record, m.current))
      m.settle(false, true, true);
  }
}
} // namespace

void Table::deleteRecord() {
  setMark(*this, *m, '*', true);
}
void Table::recall() {
  setMark(*this, *m, ' ', false);
}

void Table::refresh() {
  m->requireOpen();
  m->state = TableState::Browse;
  m->pendingMemos.clear();
  if (m->current > m->dbf.recordCount())
    m->current = 0;
  if (m->current != 0)
    m->dbf.read(m->current, m->record);
}

bool Table::isDeleted() const {
  return m->current != 0 && !m->record.empty() && m->record[0] == '*';
}

std::string Table::fieldRaw(const std::string& name) const {
  const FieldDef& f = m->field(name);
  return m->record.substr(size_t(f.offset), size_t(f.width));
}

std::string Table::fieldString(const std::string& name) const {
  if (m->field(name).type == 'D')
    return fieldDate(name);
  std::string s = fieldRaw(name);
  size_t end = s.find_last_not_of(' ');
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

std::string Table::fieldDate(const std::string& name) const {
  std::string s = fieldRaw(name);
  return s.size() == 8 && isCalendarDate(s.data()) ? s : std::string();
}

bool Table::fieldLogical(const std::string& name) const {
  char c = fieldRaw(name)[0];
  return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

double Table::fieldNumber(const std::string& name) const {
  return std::strtod(fieldRaw(name).c_str(), nullptr);
}

void Table::setField(const std::string& name, const std::string& value) {
  const FieldDef& f = m->field(name);
  m->requireEditing();
  switch (f.type) {
  case 'D':
    setDate(name, value);
    return;
  case 'L':
    setLogical(name, !value.empty() && std::strchr("TtYy", value[0]) != nullptr);
    return;
  case 'M':
    setMemo(name, value);
    return;
  case 'N': {
    std::string t = upperName(value);
    t.erase(0, t.find_first_not_of(' ') == std::string::npos ? t.size() : t.find_first_not_of(' '));
    if (int(t.size()) > f.width)
      throw XBaseError(ErrorCode::Range, "value " + value + " does not fit field " + f.name);
    std::string padded(size_t(f.width) - t.size(), ' ');
    m->record.replace(size_t(f.offset), size_t(f.width), padded + t);
    return;
  }
  default: {
    std::string v = value.substr(0, size_t(f.width));
    v.resize(size_t(f.width), ' ');
    m->record.replace(size_t(f.offset), size_t(f.width), v);
  }
  }
}

void Table::setDate(const std::string& name, const std::string& yyyymmdd) {
  const FieldDef& f = m->field(name);
  m->requireEditing();
  std::string v = upperName(yyyymmdd);
  bool digits = v.size() == 8;
  for (char c : v)
    digits = digits && c >= '0' && c <= '9';
  if (!v.empty() && !digits)
    throw XBaseError(ErrorCode::Range, "date " + yyyymmdd + " is not YYYYMMDD");
  if (!v.empty() && !isCalendarDate(v.data()))
    throw XBaseError(ErrorCode::Range,
                     "date " + yyyymmdd + " for " + f.name + " is not a date of the calendar");
  v.resize(8, ' ');
  m->record.replace(size_t(f.offset), size_t(f.width), v.substr(0, size_t(f.width)));
}

void Table::setLogical(const std::string& name, bool value) {
  const FieldDef& f = m->field(name);
  m->requireEditing();
  m->record[size_t(f.offset)] = value ? 'T' : 'F';
}

void Table::setNumber(const std::string& name, double value) {
  const FieldDef& f = m->field(name);
  m->requireEditing();
  if (!std::isfinite(value))
    throw XBaseError(ErrorCode::Range, "number for " + f.name + " is not finite");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%*.*f", f.width, f.decimals, value);
  if (int(std::strlen(buf)) > f.width)
    throw XBaseError(ErrorCode::Range, "number does not fit field " + f.name);
  m->record.replace(size_t(f.offset), size_t(f.width), buf);
}

std::string Table::memo(const std::string& name) const {
  const FieldDef& f = m->field(name);
  if (f.type != 'M')
    throw XBaseError(ErrorCode::NoField, f.name + " is not a memo field");
  int index = fieldIndex(name);
  auto it = m->pendingMemos.find(index);
  if (it != m->pendingMemos.end())
    return it->second;
  if (m->current == 0 && m->state == TableState::Browse)
    return {};
  return m->memo.read(parseMemoPointer(m->record.data() + f.offset, f.width));
}

void Table::setMemo(const std::string& name, const std::string& bytes) {
  const FieldDef& f = m->field(name);
  m->requireEditing();
  if (f.type != 'M')
    throw XBaseError(ErrorCode::NoField, f.name + " is not a memo field");
  m->pendingMemos[fieldIndex(name)] = bytes;
}

bool Table::memoToFile(const std::string& field, const std::string& path) const {
  try {
    std::string bytes = memo(field);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
  } catch (const XBaseError&) {
    return false;
  }
}

void Table::memoFromFile(const std::string& field, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw XBaseError(ErrorCode::Io, "cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad())
    throw XBaseError(ErrorCode::Io, "cannot read " + path);
  setMemo(field, bytes);
}

} // namespace xbase
