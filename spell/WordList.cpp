#include "spell/WordList.h"

#include <array>
#include <fstream>

namespace spell {
namespace {

// 0x80..0x9F: where Windows-1252 differs from Latin-1 (0 = unassigned).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int toAnsi(char32_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
    return int(u);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] != 0 && kHigh[i] == u)
      return int(0x80 + i);
  return -1;
}

// The next code point of a UTF-8 string, or -1 on a bad sequence.
long nextCodePoint(const std::string& s, std::size_t& i) {
  const auto b = static_cast<unsigned char>(s[i++]);
  if (b < 0x80)
    return b;
  int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (more < 0 || b >= 0xF8)
    return -1;
  long cp = b & (0x3F >> more);
  for (; more > 0; --more) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
      return -1;
    cp = cp << 6 | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

} // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  ansi.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const long cp = nextCodePoint(utf8, i);
    const int a = cp < 0 ? -1 : toAnsi(char32_t(cp));
    if (a < 0)
      return false;
    ansi += static_cast<char>(a);
  }
  return true;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  for (char ch : ansi) {
    const auto c = static_cast<unsigned char>(ch);
    char32_t u = c;
    if (c >= 0x80 && c < 0xA0)
      u = kHigh[c - 0x80] ? kHigh[c - 0x80] : c;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | u >> 6);
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | u >> 12);
      out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

bool ReadWordList(const std::string& path, std::vector<std::string>& words, std::size_t* skipped) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  std::string line, ansi;
  std::size_t left = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty())
      continue;
    if (Utf8ToAnsi(line, ansi))
      words.push_back(ansi);
    else
      ++left;
  }
  if (skipped)
    *skipped = left;
  return true;
}

} // namespace spell
