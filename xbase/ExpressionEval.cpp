// Evaluation of compiled expressions against one record image.

#include "xbase/ExpressionNode.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xbase {

namespace {

std::string rtrim(std::string s) {
  size_t end = s.find_last_not_of(' ');
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

Value fieldValue(const Expression::Node& node, const RecordView& r) {
  const FieldDef& f = (*r.fields)[size_t(node.field)];
  const char* p = r.record->data() + f.offset;
  std::string raw(p, size_t(f.width));
  switch (f.type) {
  case 'N': {
    std::string t = raw;
    for (char& c : t)
      if (c == ',')
        c = '.';
    return Value{'N', {}, std::strtod(t.c_str(), nullptr), false};
  }
  case 'L': {
    char c = char(std::toupper(uint8_t(raw[0])));
    return Value{'L', {}, 0, c == 'T' || c == 'Y'};
  }
  case 'D':
    if (!isCalendarDate(raw.data()))
      raw.assign(8, ' '); // blank, damaged or impossible: read as blank, as other engines do
    return Value{'D', std::move(raw), 0, false};
  default:
    return Value{f.type, std::move(raw), 0, false};
  }
}

std::string formatStr(double v, int width, int decimals) {
  if (width < 1 || width > 255)
    width = 10;
  if (decimals < 0 || decimals > 15)
    decimals = 0;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, v);
  std::string s = buf;
  if (int(s.size()) > width)
    s.assign(size_t(width), '*');
  return s;
}

Value callFunction(const Expression::Node& node, const std::vector<Value>& a) {
  const std::string& f = node.op;
  Value out{'C', {}, 0, false};
  if (f == "DTOS") {
    out.text = a[0].text;
  } else if (f == "UPPER" || f == "LOWER") {
    out.text = a[0].text;
    // ASCII letters only: the Windows-1252 upper half keeps its byte order.
    for (char& c : out.text)
      if (uint8_t(c) < 0x80)
        c = char(f == "UPPER" ? std::toupper(uint8_t(c)) : std::tolower(uint8_t(c)));
  } else if (f == "TRIM" || f == "RTRIM") {
    out.text = rtrim(a[0].text);
  } else if (f == "ALLTRIM") {
    out.text = rtrim(a[0].text);
    out.text.erase(0, out.text.find_first_not_of(' ') == std::string::npos
                          ? out.text.size()
                          : out.text.find_first_not_of(' '));
  } else if (f == "LEFT") {
    double n = a[1].number;
    size_t count = n <= 0 ? 0 : n >= double(a[0].text.size()) ? a[0].text.size() : size_t(n);
    out.text = a[0].text.substr(0, count);
  } else if (f == "STR") {
    int width = a.size() > 1 ? int(a[1].number) : 10;
    int decimals = a.size() > 2 ? int(a[2].number) : 0;
    out.text = formatStr(a[0].number, width, decimals);
  }
  return out;
}

bool compareValues(const std::string& op, const Value& x, const Value& y) {
  int c;
  if (x.type == 'N') {
    c = x.number < y.number ? -1 : x.number > y.number ? 1 : 0;
  } else if (x.type == 'L') {
    c = int(x.logical) - int(y.logical);
  } else {
    std::string l = rtrim(x.text), r = rtrim(y.text);
    c = std::memcmp(l.data(), r.data(), std::min(l.size(), r.size()));
    if (c == 0)
      c = l.size() < r.size() ? -1 : l.size() > r.size() ? 1 : 0;
  }
  if (op == "=" || op == "==")
    return c == 0;
  if (op == "<>" || op == "!=" || op == "#")
    return c != 0;
  if (op == "<")
    return c < 0;
  if (op == ">")
    return c > 0;
  if (op == "<=")
    return c <= 0;
  return c >= 0;
}

} // namespace

Value evaluateNode(const Expression::Node& node, const RecordView& r) {
  switch (node.kind) {
  case NodeKind::Literal:
    return node.literal;
  case NodeKind::Field:
    return fieldValue(node, r);
  case NodeKind::Deleted:
    return Value{'L', {}, 0, !r.record->empty() && (*r.record)[0] == '*'};
  case NodeKind::RecNo:
    return Value{'N', {}, double(r.recNo), false};
  case NodeKind::Not:
    return Value{'L', {}, 0, !evaluateNode(*node.args[0], r).logical};
  case NodeKind::And:
    return Value{'L',
                 {},
                 0,
                 evaluateNode(*node.args[0], r).logical && evaluateNode(*node.args[1], r).logical};
  case NodeKind::Or:
    return Value{'L',
                 {},
                 0,
                 evaluateNode(*node.args[0], r).logical || evaluateNode(*node.args[1], r).logical};
  case NodeKind::Plus:
  case NodeKind::Minus: {
    Value a = evaluateNode(*node.args[0], r);
    Value b = evaluateNode(*node.args[1], r);
    if (a.type == 'C') {
      a.text += b.text;
      return a;
    }
    a.number = node.kind == NodeKind::Plus ? a.number + b.number : a.number - b.number;
    return a;
  }
  case NodeKind::Compare:
    return Value{
        'L',
        {},
        0,
        compareValues(node.op, evaluateNode(*node.args[0], r), evaluateNode(*node.args[1], r))};
  case NodeKind::Call: {
    std::vector<Value> args;
    for (const auto& a : node.args)
      args.push_back(evaluateNode(*a, r));
    return callFunction(node, args);
  }
  }
  return {};
}

} // namespace xbase
