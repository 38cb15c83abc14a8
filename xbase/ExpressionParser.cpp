// Recursive-descent compiler for index, FOR and filter expressions. Types are
// checked here, so that evaluation never meets a mismatch.

#include "xbase/ExpressionNode.h"
#include "xbase/XBaseError.h"

#include <cctype>
#include <cstdlib>

namespace xbase {

namespace {

using NodePtr = std::unique_ptr<Expression::Node>;

std::string upper(std::string s) {
  for (char& c : s)
    c = char(std::toupper(uint8_t(c)));
  return s;
}

struct FunctionDef {
  const char* name;
  int minArgs, maxArgs;
  const char* argTypes; // per argument; '*' any
  char result;
};

const FunctionDef kFunctions[] = {
    {"DTOS", 1, 1, "D", 'C'},  {"UPPER", 1, 1, "C", 'C'}, {"LOWER", 1, 1, "C", 'C'},
    {"TRIM", 1, 1, "C", 'C'},  {"RTRIM", 1, 1, "C", 'C'}, {"ALLTRIM", 1, 1, "C", 'C'},
    {"LEFT", 2, 2, "CN", 'C'}, {"STR", 1, 3, "NNN", 'C'}, {"DELETED", 0, 0, "", 'L'},
    {"RECNO", 0, 0, "", 'N'},
};

class Parser {
public:
  Parser(const std::string& s, const std::vector<FieldDef>& fields) : m_s(s), m_fields(fields) {}

  NodePtr parseAll() {
    NodePtr n = parseOr();
    skipSpace();
    if (m_pos != m_s.size())
      fail("unexpected text at position " + std::to_string(m_pos + 1));
    return n;
  }

private:
  [[noreturn]] void fail(const std::string& why) const {
    throw XBaseError(ErrorCode::BadExpression, "expression \"" + m_s + "\": " + why);
  }
  void skipSpace() {
    while (m_pos < m_s.size() && std::isspace(uint8_t(m_s[m_pos])))
      ++m_pos;
  }
  // Matches a literal token (case-insensitive) after blanks.
  bool accept(const char* token) {
    skipSpace();
    size_t n = std::char_traits<char>::length(token);
    if (m_s.size() - m_pos < n)
      return false;
    for (size_t i = 0; i < n; ++i)
      if (std::toupper(uint8_t(m_s[m_pos + i])) != token[i])
        return false;
    m_pos += n;
    return true;
  }
  NodePtr make(NodeKind kind, char type) {
    auto n = std::make_unique<Expression::Node>();
    n->kind = kind;
    n->type = type;
    return n;
  }
  NodePtr binary(NodeKind kind, char type, NodePtr a, NodePtr b) {
    NodePtr n = make(kind, type);
    n->args.push_back(std::move(a));
    n->args.push_back(std::move(b));
    return n;
  }
  void need(const NodePtr& n, char type, const char* what) {
    if (n->type != type)
      fail(std::string(what) + " needs a " + (type == 'L' ? "logical" : "different") + " operand");
  }

  NodePtr parseOr() {
    // Nesting is bounded so that hostile input cannot exhaust the stack.
    if (++m_depth > 64)
      fail("nested too deeply");
    NodePtr left = parseAnd();
    while (accept(".OR.")) {
      NodePtr right = parseAnd();
      need(left, 'L', ".OR.");
      need(right, 'L', ".OR.");
      left = binary(NodeKind::Or, 'L', std::move(left), std::move(right));
    }
    --m_depth;
    return left;
  }
  NodePtr parseAnd() {
    NodePtr left = parseNot();
    while (accept(".AND.")) {
      NodePtr right = parseNot();
      need(left, 'L', ".AND.");
      need(right, 'L', ".AND.");
      left = binary(NodeKind::And, 'L', std::move(left), std::move(right));
    }
    return left;
  }
  NodePtr parseNot() {
    skipSpace();
    bool bang = m_pos < m_s.size() && m_s[m_pos] == '!' &&
                (m_pos + 1 >= m_s.size() || m_s[m_pos + 1] != '=');
    if (accept(".NOT.") || (bang && accept("!"))) {
      if (++m_depth > 64)
        fail("nested too deeply");
      NodePtr operand = parseNot();
      --m_depth;
      need(operand, 'L', ".NOT.");
      NodePtr n = make(NodeKind::Not, 'L');
      n->args.push_back(std::move(operand));
      return n;
    }
    return parseCompare();
  }
  NodePtr parseCompare() {
    NodePtr left = parseSum();
    static const char* ops[] = {"==", "<>", "!=", "<=", ">=", "=", "#", "<", ">"};
    for (const char* op : ops) {
      if (!accept(op))
        continue;
      NodePtr right = parseSum();
      if (left->type != right->type)
        fail(std::string("comparison ") + op + " of different types");
      NodePtr n = binary(NodeKind::Compare, 'L', std::move(left), std::move(right));
      n->op = op;
      return n;
    }
    return left;
  }
  NodePtr parseSum() {
    NodePtr left = parsePrimary();
    for (;;) {
      NodeKind kind;
      if (accept("+"))
        kind = NodeKind::Plus;
      else if (accept("-"))
        kind = NodeKind::Minus;
      else
        return left;
      NodePtr right = parsePrimary();
      bool text = left->type == 'C' && right->type == 'C';
      bool numbers = left->type == 'N' && right->type == 'N';
      if (!(numbers || (text && kind == NodeKind::Plus)))
        fail("+ and - need two strings or two numbers");
      char type = left->type;
      left = binary(kind, type, std::move(left), std::move(right));
    }
  }
  NodePtr parsePrimary() {
    skipSpace();
    if (m_pos >= m_s.size())
      fail("unexpected end");
    char c = m_s[m_pos];
    if (accept("(")) {
      NodePtr n = parseOr();
      if (!accept(")"))
        fail("missing )");
      return n;
    }
    if (accept(".T.") || accept(".F.")) {
      NodePtr n = make(NodeKind::Literal, 'L');
      n->literal = Value{'L', {}, 0, std::toupper(uint8_t(m_s[m_pos - 2])) == 'T'};
      return n;
    }
    if (c == '\'' || c == '"' || c == '[')
      return parseString(c == '[' ? ']' : c);
    if (std::isdigit(uint8_t(c)) ||
        (c == '.' && m_pos + 1 < m_s.size() && std::isdigit(uint8_t(m_s[m_pos + 1]))))
      return parseNumber();
    if (std::isalpha(uint8_t(c)) || c == '_')
      return parseName();
    fail(std::string("unexpected '") + c + "'");
  }
  NodePtr parseString(char close) {
    size_t end = m_s.find(close, m_pos + 1);
    if (end == std::string::npos)
      fail("unterminated string");
    NodePtr n = make(NodeKind::Literal, 'C');
    n->literal.text = m_s.substr(m_pos + 1, end - m_pos - 1);
    m_pos = end + 1;
    return n;
  }
  NodePtr parseNumber() {
    const char* start = m_s.c_str() + m_pos;
    char* end = nullptr;
    double v = std::strtod(start, &end);
    m_pos += size_t(end - start);
    NodePtr n = make(NodeKind::Literal, 'N');
    n->literal = Value{'N', {}, v, false};
    return n;
  }
  NodePtr parseName() {
    size_t start = m_pos;
    while (m_pos < m_s.size() && (std::isalnum(uint8_t(m_s[m_pos])) || m_s[m_pos] == '_'))
      ++m_pos;
    std::string name = upper(m_s.substr(start, m_pos - start));
    if (accept("("))
      return parseCall(name);
    for (size_t i = 0; i < m_fields.size(); ++i) {
      if (m_fields[i].name != name)
        continue;
      char t = m_fields[i].type;
      if (t == 'M')
        fail("memo field " + name + " cannot be used in an expression");
      NodePtr n = make(NodeKind::Field, t);
      n->field = int(i);
      return n;
    }
    fail("unknown field " + name);
  }
  NodePtr parseCall(const std::string& name) {
    const FunctionDef* fn = nullptr;
    for (const auto& f : kFunctions)
      if (name == f.name)
        fn = &f;
    if (!fn)
      fail("function " + name + "() is not supported");
    NodeKind kind = name == "DELETED" ? NodeKind::Deleted
                    : name == "RECNO" ? NodeKind::RecNo
                                      : NodeKind::Call;
    NodePtr n = make(kind, fn->result);
    n->op = name;
    if (!accept(")")) {
      do
        n->args.push_back(parseOr());
      while (accept(","));
      if (!accept(")"))
        fail("missing ) after arguments of " + name);
    }
    int count = int(n->args.size());
    if (count < fn->minArgs || count > fn->maxArgs)
      fail("wrong number of arguments for " + name + "()");
    for (int i = 0; i < count; ++i)
      if (fn->argTypes[i] != '*' && n->args[size_t(i)]->type != fn->argTypes[i])
        fail("argument " + std::to_string(i + 1) + " of " + name + "() has the wrong type");
    return n;
  }

  const std::string& m_s;
  const std::vector<FieldDef>& m_fields;
  size_t m_pos = 0;
  int m_depth = 0;
};

} // namespace

std::unique_ptr<Expression::Node> compileExpression(const std::string& source,
                                                    const std::vector<FieldDef>& fields) {
  return Parser(source, fields).parseAll();
}

} // namespace xbase
