#include "spell/Letters.h"

#include <array>

namespace spell {
namespace {

// Codes 0..25 are A..Z; the rest of the alphabet in code order.
constexpr unsigned char kApostrophe = '\'';
constexpr unsigned char kHyphen = '-';
constexpr unsigned char kGrave = '`';

struct Tables {
  std::array<signed char, 256> code{};
  std::array<unsigned char, kLetterCount> letter{};
};

Tables makeTables() {
  Tables t;
  t.code.fill(-1);
  int next = 0;
  auto add = [&](unsigned char c) {
    t.code[c] = static_cast<signed char>(next);
    t.letter[next] = c;
    ++next;
  };
  for (unsigned char c = 'A'; c <= 'Z'; ++c)
    add(c);
  add(kApostrophe);
  add(kHyphen);
  add(0x8A); // Š
  add(0x8C); // Œ
  add(0x9F); // Ÿ
  for (unsigned c = 0xC0; c <= 0xD6; ++c)
    add(static_cast<unsigned char>(c));
  for (unsigned c = 0xD8; c <= 0xDF; ++c)
    add(static_cast<unsigned char>(c));
  add(0xF0); // ð: reachable only through a file, since ð is written as Ð
  add(kGrave);
  return t;
}

const Tables& tables() {
  static const Tables t = makeTables();
  return t;
}

} // namespace

unsigned char ToCapital(unsigned char c) {
  if (c >= 'a' && c <= 'z')
    return static_cast<unsigned char>(c - 32);
  switch (c) {
  case 0x9A:
    return 0x8A; // š
  case 0x9C:
    return 0x8C; // œ
  case 0xFF:
    return 0x9F; // ÿ
  default:
    break;
  }
  if ((c >= 0xE0 && c <= 0xF6) || (c >= 0xF8 && c <= 0xFE))
    return static_cast<unsigned char>(c - 32);
  return c;
}

unsigned char ToSmall(unsigned char c) {
  if (c >= 'A' && c <= 'Z')
    return static_cast<unsigned char>(c + 32);
  switch (c) {
  case 0x8A:
    return 0x9A;
  case 0x8C:
    return 0x9C;
  case 0x9F:
    return 0xFF;
  default:
    break;
  }
  if ((c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE))
    return static_cast<unsigned char>(c + 32);
  return c;
}

bool IsCapitalLetter(unsigned char c) {
  return ToSmall(c) != c;
}

bool IsSmallLetter(unsigned char c) {
  return ToCapital(c) != c;
}

std::string ToCapitals(std::string_view word) {
  std::string out(word);
  for (char& c : out)
    c = static_cast<char>(ToCapital(static_cast<unsigned char>(c)));
  return out;
}

int LetterCode(unsigned char c) {
  return tables().code[ToCapital(c)];
}

unsigned char CodeLetter(int code) {
  return tables().letter[static_cast<unsigned>(code) & (kLetterCount - 1)];
}

} // namespace spell
