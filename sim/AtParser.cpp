#include "sim/AtParser.h"

#include <cctype>

namespace tolvane::sim {
namespace {

char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Removes spaces and upper-cases everything outside double-quoted strings.
// An unterminated quote makes the line invalid.
std::optional<std::string> normalise(std::string_view body) {
  std::string out;
  bool quoted = false;
  for (char c : body) {
    if (c == '"')
      quoted = !quoted;
    if (!quoted && c == ' ')
      continue;
    out.push_back(quoted ? c : upper(c));
  }
  if (quoted)
    return std::nullopt;
  return out;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Extended command: name runs up to '=', '?', ';' or the end; its argument
// runs up to an unquoted ';'.
size_t parseExtended(const std::string& s, size_t i, std::vector<AtCommand>& out) {
  size_t n = i + 1;
  while (n < s.size() && (std::isalnum(static_cast<unsigned char>(s[n])) || s[n] == '.'))
    ++n;
  AtCommand cmd{s.substr(i, n - i), {}};
  bool quoted = false;
  size_t a = n;
  while (a < s.size() && (quoted || s[a] != ';')) {
    if (s[a] == '"')
      quoted = !quoted;
    ++a;
  }
  cmd.arg = s.substr(n, a - n);
  out.push_back(std::move(cmd));
  return a < s.size() ? a + 1 : a;
}

// S-register access: "S7=60", "S0?", "S0" (select, treated as a read).
std::optional<size_t> parseSRegister(const std::string& s, size_t i, std::vector<AtCommand>& out) {
  size_t n = i + 1;
  while (n < s.size() && isDigit(s[n]))
    ++n;
  if (n == i + 1)
    return std::nullopt;
  if (n < s.size() && s[n] == '?') {
    ++n;
  } else if (n < s.size() && s[n] == '=') {
    ++n;
    while (n < s.size() && isDigit(s[n]))
      ++n;
  }
  out.push_back({"S", s.substr(i + 1, n - i - 1)});
  return n;
}

} // namespace

std::optional<std::vector<AtCommand>> parseAtLine(std::string_view body) {
  auto norm = normalise(body);
  if (!norm)
    return std::nullopt;
  const std::string& s = *norm;
  std::vector<AtCommand> out;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == ';') {
      ++i;
    } else if (c == '+' || c == '#') {
      if (i + 1 >= s.size() || !std::isalpha(static_cast<unsigned char>(s[i + 1])))
        return std::nullopt;
      i = parseExtended(s, i, out);
    } else if (c == 'D') {
      out.push_back({"D", s.substr(i + 1)});
      i = s.size();
    } else if (c == 'S') {
      auto next = parseSRegister(s, i, out);
      if (!next)
        return std::nullopt;
      i = *next;
    } else if (c == '&' || c == '\\' || c == '%') {
      if (i + 1 >= s.size() || !std::isalpha(static_cast<unsigned char>(s[i + 1])))
        return std::nullopt;
      size_t n = i + 2;
      while (n < s.size() && isDigit(s[n]))
        ++n;
      out.push_back({s.substr(i, 2), s.substr(i + 2, n - i - 2)});
      i = n;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t n = i + 1;
      while (n < s.size() && isDigit(s[n]))
        ++n;
      out.push_back({std::string(1, c), s.substr(i + 1, n - i - 1)});
      i = n;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

void AtLineAssembler::clear() {
  m_state = State::Idle;
  m_line.clear();
  m_overflow = false;
}

std::optional<std::string> AtLineAssembler::feed(uint8_t byte) {
  char c = static_cast<char>(byte);
  switch (m_state) {
  case State::Idle:
    if (c == 'A' || c == 'a')
      m_state = State::SawA;
    return std::nullopt;
  case State::SawA:
    if (c == 'T' || c == 't') {
      m_state = State::InLine;
      m_line.clear();
      m_overflow = false;
    } else if (c == '/') {
      m_state = State::Idle;
      return m_previous;
    } else {
      m_state = (c == 'A' || c == 'a') ? State::SawA : State::Idle;
    }
    return std::nullopt;
  case State::InLine:
    break;
  }
  if (byte == m_cr) {
    m_state = State::Idle;
    if (m_overflow)
      return std::string("\x01"); // not a valid command: answered with ERROR
    m_previous = m_line;
    return m_line;
  }
  if (byte == m_bs || byte == 0x7F) {
    if (!m_line.empty())
      m_line.pop_back();
    return std::nullopt;
  }
  if (byte == '\n')
    return std::nullopt;
  if (m_line.size() >= kMaxLine)
    m_overflow = true;
  else
    m_line.push_back(c);
  return std::nullopt;
}

} // namespace tolvane::sim
