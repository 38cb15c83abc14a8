#include "sim/AtParser.h"

#include <gtest/gtest.h>

using namespace tolvane::sim;

namespace {

std::vector<AtCommand> parse(std::string_view s) {
  auto r = parseAtLine(s);
  EXPECT_TRUE(r.has_value()) << s;
  return r.value_or(std::vector<AtCommand>{});
}

} // namespace

TEST(AtParser, SplitsBasicExtendedAndRegisterCommands) {
  EXPECT_EQ(parse("e0 v1q0&f&c1"),
            (std::vector<AtCommand>{{"E", "0"}, {"V", "1"}, {"Q", "0"}, {"&F", ""}, {"&C", "1"}}));
  EXPECT_EQ(parse("S0=1S7?S12=50"),
            (std::vector<AtCommand>{{"S", "0=1"}, {"S", "7?"}, {"S", "12=50"}}));
  EXPECT_EQ(parse("+FCLASS=1;+FTM=?"), (std::vector<AtCommand>{{"+FCLASS", "=1"}, {"+FTM", "=?"}}));
  EXPECT_EQ(parse("+fclass=2.0"), (std::vector<AtCommand>{{"+FCLASS", "=2.0"}}));
  EXPECT_EQ(parse("Z"), (std::vector<AtCommand>{{"Z", ""}}));
  EXPECT_TRUE(parse("").empty());
}

TEST(AtParser, DialTakesTheRestOfTheLineAndQuotesKeepTheirText) {
  EXPECT_EQ(parse("X3DT 555-1234,,9W"),
            (std::vector<AtCommand>{{"X", "3"}, {"D", "T555-1234,,9W"}}));
  EXPECT_EQ(parse("+FLID=\"My; Id a\";E0"),
            (std::vector<AtCommand>{{"+FLID", "=\"My; Id a\""}, {"E", "0"}}));
}

TEST(AtParser, RejectsWhatAModemAnswersWithError) {
  for (const char* bad : {"+", "+=1", "&", "S", "S=1", "!", "E0\x01", "+FLID=\"open"})
    EXPECT_FALSE(parseAtLine(bad).has_value()) << bad;
}

TEST(AtLineAssembler, FindsLinesInTheByteStream) {
  AtLineAssembler a;
  std::vector<std::string> lines;
  std::string input = "xxaT+FCLASS?\rgarbageAATE1\r\nAt e0\b\bQ1\r";
  for (char c : input)
    if (auto l = a.feed(static_cast<uint8_t>(c)))
      lines.push_back(*l);
  EXPECT_EQ(lines, (std::vector<std::string>{"+FCLASS?", "E1", " Q1"}));
  // A/ repeats the last line without CR.
  std::optional<std::string> again;
  for (char c : std::string("A/"))
    again = a.feed(static_cast<uint8_t>(c));
  EXPECT_EQ(again.value_or("none"), " Q1");
}

TEST(AtLineAssembler, OverlongLineBecomesAnError) {
  AtLineAssembler a;
  std::string input = "AT" + std::string(1000, 'E') + "\r";
  std::optional<std::string> line;
  for (char c : input)
    if (auto l = a.feed(static_cast<uint8_t>(c)))
      line = l;
  ASSERT_TRUE(line.has_value());
  EXPECT_FALSE(parseAtLine(*line).has_value());
}
