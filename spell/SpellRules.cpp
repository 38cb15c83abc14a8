#include "spell/SpellRules.h"

#include "spell/Letters.h"

#include <algorithm>
#include <array>

namespace spell {

// Vowels and the letters that sound like them.
bool IsSilentInKey(unsigned char c) {
  switch (c) {
  case 'A':
  case 'E':
  case 'H':
  case 'I':
  case 'O':
  case 'U':
  case 'W':
  case 'Y':
  case 0x9F:
  case 0xD8:
  case 0xF0:
    return true;
  default:
    return (c >= 0xC0 && c <= 0xC6) || (c >= 0xC8 && c <= 0xCF) || (c >= 0xD2 && c <= 0xD6) ||
           (c >= 0xD9 && c <= 0xDD);
  }
}

unsigned char KeyCode(unsigned char c) {
  switch (c) {
  case 'B':
  case 'F':
  case 'P':
  case 'V':
  case '6':
  case '8':
  case 0xDE:
  case 0xDF:
    return '1';
  case 'C':
  case 'G':
  case 'J':
  case 'K':
  case 'Q':
  case 'S':
  case 'X':
  case 'Z':
  case '3':
  case '4':
  case '5':
  case '9':
  case 0x8A:
  case 0x8C:
  case 0xC7:
    return '2';
  case 'D':
  case 'T':
  case 0xD0:
    return '3';
  case 'L':
  case '2':
    return '4';
  case 'M':
  case 'N':
  case 0xD1:
    return '5';
  case 'R':
    return '6';
  case '\'':
  case '-':
  case '`':
    return '7';
  case '0':
    return 'O';
  case '1':
  case '7':
    return 'I';
  default:
    return c;
  }
}

namespace {

struct Alternatives {
  const char* forLetter;
  const char* tried;
};

// Keyed by every first capital that shares a list.
constexpr std::array<Alternatives, 24> kAlternatives = {{
    {"A\xC0\xC1\xC2\xC3\xC4\xC5\xC6", "EDA\xC0\xC1\xC2\xC3\xC4\xC5\xC6"},
    {"B\xDF", "PVNB\xDF"},
    {"C\x8C\xC7", "SXVC\xC7\x8C"},
    {"D\xD0", "FD\xD0"},
    {"E\xC8\xC9\xCA\xCB", "IWRE\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"},
    {"F", "DGF"},
    {"G", "JG"},
    {"H", "JGH"},
    {"I\xCC\xCD\xCE\xCF", "EOUI\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"},
    {"J", "GJ"},
    {"K", "CLJK"},
    {"L", "KL"},
    {"M", "NM\xD1"},
    {"N\xD1", "MBN\xD1"},
    {"O\xD2\xD3\xD4\xD5\xD6", "PIO\xD2\xD3\xD4\xD5\xD6\xCC\xCD\xCE\xCF"},
    {"P\xDE", "BOP\xDE"},
    {"Q", "WQ"},
    {"R", "ETR"},
    {"S", "ACDS\x8A\x8C"},
    {"T", "YRT"},
    {"U\xD9\xDA\xDB\xDC", "YIU\xD9\xDA\xDB\xDC"},
    {"V", "BCV\xC7\x8C"},
    {"W", "QEW"},
    {"X", "CZX"},
}};
constexpr Alternatives kY = {"Y\x9F\xDD", "TUY\x9F\xDD"};
constexpr Alternatives kZ = {"Z", "XZ"};

bool isCasedLetter(unsigned char c) {
  return IsCapitalLetter(c) || IsSmallLetter(c) || c == 0xDF;
}

// Letters in the longest common substring, then recursively in the parts to
// its left and to its right.
int commonLetters(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty())
    return 0;
  std::size_t bestLen = 0, bestA = 0, bestB = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < b.size(); ++j) {
      std::size_t n = 0;
      while (i + n < a.size() && j + n < b.size() && a[i + n] == b[j + n])
        ++n;
      if (n > bestLen) {
        bestLen = n;
        bestA = i;
        bestB = j;
      }
    }
  if (bestLen == 0)
    return 0;
  return int(bestLen) + commonLetters(a.substr(0, bestA), b.substr(0, bestB)) +
         commonLetters(a.substr(bestA + bestLen), b.substr(bestB + bestLen));
}

} // namespace

std::string SoundKey(std::string_view capitals) {
  if (capitals.empty())
    return {};
  std::string key(1, capitals[0]);
  for (std::size_t i = 1; i < capitals.size(); ++i) {
    const auto c = static_cast<unsigned char>(capitals[i]);
    if (IsSilentInKey(c))
      continue;
    const char code = static_cast<char>(KeyCode(c));
    // Each code counts once: later repeats are dropped.
    if (key.find(code, 1) == std::string::npos)
      key += code;
    if (key.size() == kKeyLength)
      break;
  }
  return key;
}

std::string TypedWordKey(std::string_view capitals) {
  std::string key = SoundKey(capitals);
  key.resize(kKeyLength, '\0');
  return key;
}

std::string CompletedKey(std::string_view prefix, std::string_view target) {
  std::string key = SoundKey(prefix);
  if (key.size() < kKeyLength && target.size() > key.size())
    key += target.substr(key.size(), kKeyLength - key.size());
  return key;
}

std::string FirstLetterAlternatives(unsigned char c) {
  auto listed = [c](const Alternatives& a) {
    return std::string_view(a.forLetter).find(static_cast<char>(c)) != std::string_view::npos;
  };
  for (const Alternatives& a : kAlternatives)
    if (listed(a))
      return a.tried;
  if (listed(kY))
    return kY.tried;
  if (listed(kZ))
    return kZ.tried;
  return std::string(1, static_cast<char>(c));
}

int LikenessScore(std::string_view candidate, std::string_view typed) {
  std::string bare;
  bare.reserve(candidate.size());
  for (char c : candidate)
    if (c != '\'')
      bare += c;
  const std::size_t total = bare.size() + typed.size();
  if (total == 0)
    return 0;
  return int(2 * commonLetters(bare, typed) * 100 / int(total));
}

std::string InTypedCase(std::string_view suggestion, std::string_view typed) {
  if (std::none_of(typed.begin(), typed.end(),
                   [](char c) { return IsSmallLetter(static_cast<unsigned char>(c)); }))
    return std::string(suggestion);
  std::string out(suggestion);
  std::size_t t = 0;
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if (!isCasedLetter(c))
      continue;
    ch = static_cast<char>(ToSmall(c));
    while (t < typed.size() && !isCasedLetter(static_cast<unsigned char>(typed[t])))
      ++t;
    if (t < typed.size() && IsCapitalLetter(static_cast<unsigned char>(typed[t++])))
      ch = static_cast<char>(ToCapital(static_cast<unsigned char>(ch)));
  }
  return out;
}

} // namespace spell
