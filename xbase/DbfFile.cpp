#include "xbase/DbfFile.h"

#include "xbase/XBaseError.h"

#include <cstring>
#include <ctime>

namespace xbase {

namespace {

constexpr size_t kFileHeader = 32;
constexpr size_t kFieldDescriptor = 32;
constexpr uint8_t kHeaderEnd = 0x0D;
constexpr uint8_t kEndOfFile = 0x1A;
constexpr size_t kBacklink = 263;

[[noreturn]] void bad(const std::string& why) {
  throw XBaseError(ErrorCode::BadTable, why);
}

void stampDate(uint8_t* p) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  p[0] = uint8_t(tm.tm_year % 256), p[1] = uint8_t(tm.tm_mon + 1), p[2] = uint8_t(tm.tm_mday);
}

bool knownType(char t) {
  return t == 'C' || t == 'L' || t == 'D' || t == 'N' || t == 'M' || t == 'F';
}

// The header ends right after the field list's terminator, give or take
// the padding writers are known to add: one zero byte, the 263-byte
// database backlink of newer formats, or zeros. Anything else means the
// stored length is damaged and records would be read from the wrong place.
void checkHeaderLength(const uint8_t* h, size_t fieldsEnd, size_t headerLength, size_t fieldCount) {
  size_t extra = headerLength - fieldsEnd;
  if (extra == 0 || extra == 1 || extra == kBacklink || extra == kBacklink + 1)
    return;
  for (size_t i = fieldsEnd; i < headerLength; ++i)
    if (h[i] != 0)
      bad("table header length " + std::to_string(headerLength) + " does not fit its " +
          std::to_string(fieldCount) + " fields (the field list ends at byte " +
          std::to_string(fieldsEnd) + "): the header is damaged");
}

} // namespace

void parseDbfHeader(const std::string& header, uint64_t fileSize, std::vector<FieldDef>& fields,
                    uint16_t& headerLength, uint16_t& recordLength) {
  if (header.size() < kFileHeader)
    bad("file too short for a table header");
  auto* h = reinterpret_cast<const uint8_t*>(header.data());
  headerLength = getLe16(h + 8);
  recordLength = getLe16(h + 10);
  if (headerLength < kFileHeader + 1 || headerLength > fileSize || headerLength > header.size())
    bad("table header length out of range");
  fields.clear();
  int offset = 1; // the deletion mark comes first
  size_t pos = kFileHeader;
  for (; pos + kFieldDescriptor <= headerLength && h[pos] != kHeaderEnd; pos += kFieldDescriptor) {
    const uint8_t* d = h + pos;
    FieldDef f;
    f.name.assign(reinterpret_cast<const char*>(d), strnlen(reinterpret_cast<const char*>(d), 11));
    f.type = char(d[11]);
    f.width = d[16];
    f.decimals = d[17];
    f.offset = offset;
    if (f.name.empty() || !knownType(f.type) || f.width == 0)
      bad("unsupported field '" + f.name + "' in table header");
    if (f.type == 'F')
      f.type = 'N';
    offset += f.width;
    fields.push_back(f);
  }
  if (pos >= headerLength || h[pos] != kHeaderEnd || fields.empty())
    bad("table header has no field list terminator");
  checkHeaderLength(h, pos + 1, headerLength, fields.size());
  if (offset != recordLength)
    bad("record length does not match the field widths");
}

void DbfFile::create(File& file, const std::vector<FieldDef>& fields) {
  bool memo = false;
  uint32_t recordLength = 1;
  for (const auto& f : fields) {
    memo |= f.type == 'M';
    recordLength += uint32_t(f.width);
  }
  size_t headerLength = kFileHeader + fields.size() * kFieldDescriptor + 2;
  if (recordLength > 0xFFFF || headerLength > 0xFFFF)
    throw XBaseError(ErrorCode::Range, "table definition too large");
  std::string image(headerLength + 1, '\0');
  auto* h = reinterpret_cast<uint8_t*>(image.data());
  h[0] = memo ? kVersionWithMemo : kVersionNoMemo;
  stampDate(h + 1);
  putLe16(h + 8, uint16_t(headerLength));
  putLe16(h + 10, uint16_t(recordLength));
  uint8_t* d = h + kFileHeader;
  for (const auto& f : fields) {
    std::memcpy(d, f.name.data(), f.name.size());
    d[11] = uint8_t(f.type);
    d[16] = uint8_t(f.width);
    d[17] = uint8_t(f.decimals);
    d += kFieldDescriptor;
  }
  d[0] = kHeaderEnd;
  h[headerLength] = kEndOfFile;
  file.truncate(0);
  file.writeAt(0, image.data(), image.size());
}

void DbfFile::open(File&& file) {
  m_file = std::move(file);
  uint64_t size = m_file.size();
  std::string header(size_t(std::min<uint64_t>(size, 65535 + 1)), '\0');
  m_file.readAt(0, header.data(), header.size());
  parseDbfHeader(header, size, m_fields, m_headerLength, m_recordLength);
  auto* h = reinterpret_cast<const uint8_t*>(header.data());
  m_version = h[0];
  m_flags = h[28];
  m_count = getLe32(h + 4);
  // Only whole records count: a header claiming more than the file holds
  // (truncated file) is believed up to the last complete record.
  uint64_t fit = (size - m_headerLength) / m_recordLength;
  m_countRepaired = fit < m_count;
  if (m_countRepaired)
    m_count = uint32_t(fit);
  checkFirstRecord();
  // The corrected count goes to disk at once, so that other programs (and
  // the index stamp) see the records that are really there.
  if (m_countRepaired)
    writeHeaderCount();
}

// Every record starts with its deletion mark, blank or '*'. A first record
// that starts with anything else is read from the wrong offset.
void DbfFile::checkFirstRecord() const {
  if (m_count == 0)
    return;
  char mark = 0;
  m_file.readAt(m_headerLength, &mark, 1);
  if (mark != ' ' && mark != '*')
    bad("table header length " + std::to_string(m_headerLength) + " of " + m_file.path() +
        " does not lead to the first record: the header is damaged");
}

void DbfFile::close() {
  m_file.close();
  m_fields.clear();
  m_count = 0;
}

bool DbfFile::hasMemo() const {
  for (const auto& f : m_fields)
    if (f.type == 'M')
      return true;
  return false;
}

void DbfFile::setStructuralFlag(bool on) {
  uint8_t flags = on ? (m_flags | kFlagStructuralCdx) : (m_flags & ~kFlagStructuralCdx);
  if (flags == m_flags)
    return;
  m_flags = flags;
  m_file.writeAt(28, &m_flags, 1);
}

void DbfFile::read(uint32_t recNo, std::string& buffer) const {
  if (recNo < 1 || recNo > m_count)
    throw XBaseError(ErrorCode::Range, "record " + std::to_string(recNo) + " does not exist");
  buffer.resize(m_recordLength);
  m_file.readAt(m_headerLength + uint64_t(recNo - 1) * m_recordLength, buffer.data(),
                m_recordLength);
}

void DbfFile::write(uint32_t recNo, const std::string& buffer) {
  if (recNo < 1 || recNo > m_count || buffer.size() != m_recordLength)
    throw XBaseError(ErrorCode::Range, "record " + std::to_string(recNo) + " does not exist");
  m_file.writeAt(m_headerLength + uint64_t(recNo - 1) * m_recordLength, buffer.data(),
                 m_recordLength);
}

uint32_t DbfFile::append(const std::string& buffer) {
  std::string image = buffer;
  image.push_back(char(kEndOfFile));
  m_file.writeAt(m_headerLength + uint64_t(m_count) * m_recordLength, image.data(), image.size());
  ++m_count;
  writeHeaderCount();
  return m_count;
}

void DbfFile::writeAll(const std::string& records, uint32_t count) {
  std::string image = records;
  image.push_back(char(kEndOfFile));
  m_file.writeAt(m_headerLength, image.data(), image.size());
  m_file.truncate(m_headerLength + image.size());
  m_count = count;
  writeHeaderCount();
}

void DbfFile::writeHeaderCount() {
  uint8_t h[7];
  stampDate(h);
  putLe32(h + 3, m_count);
  m_file.writeAt(1, h, sizeof h);
}

} // namespace xbase
