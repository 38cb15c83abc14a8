// Sound keys, first-letter alternatives, likeness scores, letter case and
// the letter alphabet.
#include "spell/SpellRules.h"
#include "spell/Letters.h"

#include <gtest/gtest.h>

using namespace spell;

TEST(SpellRules, LikenessScoreCountsCommonSubstringsRecursively) {
  EXPECT_EQ(LikenessScore("TEXT", "TEXT"), 100);
  // TE, then T to the right of it: 2 x 3 x 100 / 8.
  EXPECT_EQ(LikenessScore("TEXT", "TEST"), 75);
  EXPECT_EQ(LikenessScore("ABCD", "WXYZ"), 0);
  // RECEIVE / RECIEVE: REC, then VE to its right, then one letter of EI / IE.
  EXPECT_EQ(LikenessScore("RECEIVE", "RECIEVE"), 2 * 6 * 100 / 14);
  // The candidate's apostrophes do not count, in the letters or the length.
  EXPECT_EQ(LikenessScore("JOHN'S", "JOHNS"), 100);
  EXPECT_EQ(LikenessScore("", ""), 0);
}

TEST(SpellRules, SoundKeyKeepsFirstLetterAndEachConsonantCodeOnce) {
  EXPECT_EQ(SoundKey("RECEIVE"), "R21");
  EXPECT_EQ(TypedWordKey("RECEIVE"), std::string("R21\0", 4));
  // Repeats are dropped even when not adjacent: K, T=3, K=2, T again.
  EXPECT_EQ(SoundKey("KATKAT"), "K32");
  EXPECT_EQ(SoundKey("BCDLMR"), "B234");
  // The first letter itself is kept even when silent elsewhere.
  EXPECT_EQ(SoundKey("AEIOU"), "A");
  // Digits have codes of their own.
  EXPECT_EQ(SoundKey("X017"), "XOI");
  // A prefix's key is completed from the target at its missing places.
  EXPECT_EQ(CompletedKey("RE", std::string("R21\0", 4)), std::string("R21\0", 4));
  EXPECT_EQ(CompletedKey("RECEIVED", std::string("R21\0", 4)), "R213");
}

TEST(SpellRules, FirstLetterAlternativesInOrder) {
  EXPECT_EQ(FirstLetterAlternatives('K'), "CLJK");
  EXPECT_EQ(FirstLetterAlternatives('A'), "EDA\xC0\xC1\xC2\xC3\xC4\xC5\xC6");
  EXPECT_EQ(FirstLetterAlternatives(0xC4), FirstLetterAlternatives('A')); // Ä
  EXPECT_EQ(FirstLetterAlternatives(0xC7), "SXVC\xC7\x8C");               // Ç
  EXPECT_EQ(FirstLetterAlternatives(0xDD), "TUY\x9F\xDD");                // Ý
  EXPECT_EQ(FirstLetterAlternatives('Z'), "XZ");
  EXPECT_EQ(FirstLetterAlternatives('9'), "9");
}

TEST(SpellRules, SuggestionTakesTheTypedLetterCase) {
  EXPECT_EQ(InTypedCase("RECEIVE", "Recieve"), "Receive");
  EXPECT_EQ(InTypedCase("RECEIVE", "RECIEVE"), "RECEIVE");
  EXPECT_EQ(InTypedCase("THE", "teh"), "the");
  // Letters pair up in order; other characters are passed over.
  EXPECT_EQ(InTypedCase("O'NEILL", "oNeil"), "o'Neill");
  EXPECT_EQ(InTypedCase("A LOT", "aLot"), "a Lot");
  // Accented capitals become small letters of the same code page.
  EXPECT_EQ(InTypedCase("\xC9T\xC9", "\xE9t\xE9"), "\xE9t\xE9");
}

TEST(SpellRules, LettersOfTheAlphabet) {
  EXPECT_EQ(LetterCode('A'), 0);
  EXPECT_EQ(LetterCode('z'), 25);
  EXPECT_EQ(LetterCode('\''), 26);
  EXPECT_EQ(LetterCode('-'), 27);
  EXPECT_EQ(LetterCode(0x8A), 28);               // Š
  EXPECT_EQ(LetterCode(0x9A), 28);               // š shares its capital's code
  EXPECT_EQ(LetterCode(0xFF), LetterCode(0x9F)); // ÿ and Ÿ
  EXPECT_EQ(LetterCode(0xE9), LetterCode(0xC9)); // é and É
  EXPECT_EQ(LetterCode('`'), 63);
  EXPECT_EQ(LetterCode('3'), -1);
  EXPECT_EQ(LetterCode(0xD7), -1); // ×
  // Every code reads back, except ð's own: ð is written as its capital Ð.
  for (int code = 0; code < kLetterCount; ++code)
    if (code != 62)
      EXPECT_EQ(LetterCode(CodeLetter(code)), code) << code;
  EXPECT_EQ(CodeLetter(62), 0xF0);
  EXPECT_EQ(ToCapitals("stra\xDF"
                       "e \xF7 \xFF"),
            "STRA\xDF"
            "E \xF7 \x9F");
}
