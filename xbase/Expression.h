#pragma once
// The small xBase expression language the tables need for index keys, FOR
// conditions and filters: field names in any letter case, string, numeric,
// date and logical values, + (concatenation or sum), comparisons, .AND.,
// .OR., .NOT. and the functions DTOS, UPPER, LOWER, TRIM, RTRIM, ALLTRIM,
// LEFT, STR, DELETED and RECNO. Anything else is rejected with BadExpression
// when the expression is compiled, never at evaluation time.

#include "xbase/FieldDef.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace xbase {

struct Value {
  char type = 'C'; // C, N, D (text "YYYYMMDD" or blanks) or L
  std::string text;
  double number = 0;
  bool logical = false;
};

// What an expression is evaluated against: one record image.
struct RecordView {
  const std::vector<FieldDef>* fields = nullptr;
  const std::string* record = nullptr; // deletion mark, then the fields
  uint32_t recNo = 0;
};

class Expression {
public:
  Expression();
  Expression(const std::string& source, const std::vector<FieldDef>& fields);
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  bool empty() const { return !m_root; }
  const std::string& source() const { return m_source; }
  char resultType() const { return m_type; }
  Value evaluate(const RecordView& record) const;
  bool isTrue(const RecordView& record) const; // empty expression: true

  struct Node;

private:
  std::string m_source;
  std::unique_ptr<Node> m_root;
  char m_type = 'C';
};

// Turns an index key value into the bytes the CDX stores: text as it is,
// numbers and dates as 8-byte doubles whose bytes sort like their values.
std::string keyBytes(const Value& value, size_t keyLength);
// The key length and pad byte an expression's values give in a CDX tag.
size_t keyLengthOf(const Expression& key, const std::vector<FieldDef>& fields);
uint8_t keyPadByte(char type);
// True when the 8 bytes at p are a date of the calendar: digits, year 0001
// to 9999, month 01 to 12, a day the month has. A date field holding
// anything else (other than blanks) reads as blank, in the field and in keys.
bool isCalendarDate(const char* p);
// Julian day number of a "YYYYMMDD" date, 0 for a blank one.
long julianDay(const std::string& yyyymmdd);

} // namespace xbase
