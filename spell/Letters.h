#pragma once
// The spelling component's letters. Words are Windows-1252 byte strings and
// are compared in capitals; every letter a dictionary can hold has one of 64
// letter codes, which is what a dictionary node stores.

#include <cstdint>
#include <string>
#include <string_view>

namespace spell {

constexpr int kLetterCount = 64;

// The capital of a Windows-1252 character (š, œ, ÿ, à..ö, ø..þ and a..z
// change; ÷, ß and everything without a capital stay).
unsigned char ToCapital(unsigned char c);
std::string ToCapitals(std::string_view word);
unsigned char ToSmall(unsigned char c);
bool IsCapitalLetter(unsigned char c);
bool IsSmallLetter(unsigned char c);

// Letter code 0..63 of a character (small letters share their capital's
// code), or -1 when no dictionary can hold it.
int LetterCode(unsigned char c);
// The capital that a letter code stands for.
unsigned char CodeLetter(int code);

} // namespace spell
