#pragma once
// The DBF file of a table: header, field list and fixed-length records.
//
// Crash safety rests on the write order of append(): the record bytes and the
// end-of-file mark go first, the record count in the header last, so a process
// killed in between leaves the old count pointing at whole records only.

#include "xbase/FieldDef.h"
#include "xbase/FileIo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace xbase {

constexpr uint8_t kVersionNoMemo = 0x03;
constexpr uint8_t kVersionWithMemo = 0xF5;
constexpr uint8_t kFlagStructuralCdx = 0x01;

class DbfFile {
public:
  // Writes an empty table (header only) and returns nothing: the caller opens it.
  static void create(File& file, const std::vector<FieldDef>& fields);

  // Reads and checks the header: its length must fit the field list and lead
  // to the first record. The record count is corrected down to the records
  // the file really holds, on disk too; countRepaired() then says so.
  void open(File&& file);
  void close();
  bool isOpen() const { return m_file.isOpen(); }
  File& file() { return m_file; }

  const std::vector<FieldDef>& fields() const { return m_fields; }
  uint32_t recordCount() const { return m_count; }
  uint16_t recordLength() const { return m_recordLength; }
  uint16_t headerLength() const { return m_headerLength; }
  uint8_t version() const { return m_version; }
  bool hasMemo() const;
  bool countRepaired() const { return m_countRepaired; }
  bool structuralFlag() const { return m_flags & kFlagStructuralCdx; }
  void setStructuralFlag(bool on);

  // recNo is 1-based. buffer holds recordLength() bytes, deletion mark first.
  void read(uint32_t recNo, std::string& buffer) const;
  void write(uint32_t recNo, const std::string& buffer);
  uint32_t append(const std::string& buffer);
  // Replaces the whole record area: used by pack on a fresh file.
  void writeAll(const std::string& records, uint32_t count);

private:
  void writeHeaderCount();
  void checkFirstRecord() const;

  File m_file;
  std::vector<FieldDef> m_fields;
  uint32_t m_count = 0;
  uint16_t m_headerLength = 0;
  uint16_t m_recordLength = 0;
  uint8_t m_version = 0;
  uint8_t m_flags = 0;
  bool m_countRepaired = false;
};

// Parses a header image (at least the first 32 bytes plus field descriptors).
// Throws BadTable for anything that is not a table we can use.
void parseDbfHeader(const std::string& header, uint64_t fileSize, std::vector<FieldDef>& fields,
                    uint16_t& headerLength, uint16_t& recordLength);

} // namespace xbase
