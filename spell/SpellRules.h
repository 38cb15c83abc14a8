#pragma once
// The rules behind suggestions: sound keys, the first letters tried in place
// of the typed one, the likeness score and the letter case of a suggestion.
// All take words in capitals unless said otherwise.

#include <string>
#include <string_view>

namespace spell {

constexpr std::size_t kKeyLength = 4;

// Characters a sound key leaves out after its first character, and the
// code that stands for any other character there.
bool IsSilentInKey(unsigned char c);
unsigned char KeyCode(unsigned char c);

// The sound key of a word: its first character, then the codes of the
// consonants that follow, each code once, cut to four characters. A shorter
// key is not padded.
std::string SoundKey(std::string_view capitals);
// The key of a typed word: shorter keys are padded with zero bytes.
std::string TypedWordKey(std::string_view capitals);
// The key of a dictionary prefix, completed from the target key where it is
// shorter than four characters.
std::string CompletedKey(std::string_view prefix, std::string_view target);

// The first letters tried for a word whose first capital is c, in order.
std::string FirstLetterAlternatives(unsigned char c);

// 2 x (letters in common substrings) x 100 / (sum of lengths): 100 for
// equal words, TEXT against TEST 75. Apostrophes in the candidate do not count.
int LikenessScore(std::string_view candidate, std::string_view typed);

// The suggestion in the letter case of the word as typed: all capitals when
// the typed word has no small letter; otherwise small letters, with a capital
// wherever the typed word's letter at the same place is a capital.
std::string InTypedCase(std::string_view suggestion, std::string_view typed);

} // namespace spell
