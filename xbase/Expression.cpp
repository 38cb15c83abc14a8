#include "xbase/Expression.h"

#include "xbase/ExpressionNode.h"
#include "xbase/XBaseError.h"

#include <cmath>
#include <cstring>

namespace xbase {

Expression::Expression(const std::string& source, const std::vector<FieldDef>& fields)
    : m_source(source) {
  m_root = compileExpression(source, fields);
  m_type = m_root->type;
}

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Value Expression::evaluate(const RecordView& record) const {
  if (!m_root)
    return Value{'L', {}, 0, true};
  return evaluateNode(*m_root, record);
}

bool Expression::isTrue(const RecordView& record) const {
  if (!m_root)
    return true;
  Value v = evaluateNode(*m_root, record);
  return v.type == 'L' && v.logical;
}

bool isCalendarDate(const char* p) {
  int n[8];
  for (int i = 0; i < 8; ++i) {
    if (p[i] < '0' || p[i] > '9')
      return false;
    n[i] = p[i] - '0';
  }
  int year = n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3];
  int month = n[4] * 10 + n[5];
  int day = n[6] * 10 + n[7];
  if (year < 1 || month < 1 || month > 12 || day < 1)
    return false;
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

long julianDay(const std::string& d) {
  if (d.size() < 8 || !isCalendarDate(d.data()))
    return 0;
  int n[8];
  for (int i = 0; i < 8; ++i) {
    if (d[i] < '0' || d[i] > '9')
      return 0;
    n[i] = d[i] - '0';
  }
  long y = n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3];
  long m = n[4] * 10 + n[5];
  long day = n[6] * 10 + n[7];
  // Gregorian calendar to Julian day number (Fliegel and Van Flandern).
  long a = (14 - m) / 12;
  long yy = y + 4800 - a;
  long mm = m + 12 * a - 3;
  return day + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

uint8_t keyPadByte(char type) {
  return type == 'C' ? ' ' : 0;
}

size_t keyLengthOf(const Expression& key, const std::vector<FieldDef>& fields) {
  switch (key.resultType()) {
  case 'N':
  case 'D':
    return 8;
  case 'L':
    return 1;
  default:
    break;
  }
  // Text keys are as long as the expression's value on a blank record: the
  // fields are fixed width, so every record gives the same length.
  size_t length = 1;
  for (const auto& f : fields)
    length += size_t(f.width);
  std::string blank(length, ' ');
  RecordView view{&fields, &blank, 0};
  size_t n = key.evaluate(view).text.size();
  if (n == 0 || n > 240)
    throw XBaseError(ErrorCode::BadExpression,
                     "index key \"" + key.source() + "\" must give 1 to 240 characters");
  return n;
}

std::string keyBytes(const Value& value, size_t keyLength) {
  if (value.type == 'C' || value.type == 'L') {
    std::string k = value.type == 'L' ? std::string(value.logical ? "T" : "F") : value.text;
    k.resize(keyLength, ' ');
    return k;
  }
  double d = value.type == 'D' ? double(julianDay(value.text)) : value.number;
  if (d == 0)
    d = 0; // one key for +0 and -0
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  // Sign bit set for positives, everything flipped for negatives: the bytes,
  // read big-endian, then sort in numeric order.
  bits = (bits >> 63) ? ~bits : (bits | (uint64_t(1) << 63));
  std::string k(8, '\0');
  for (int i = 0; i < 8; ++i)
    k[size_t(i)] = char(bits >> (56 - 8 * i));
  k.resize(keyLength, '\0');
  return k;
}

} // namespace xbase
