#include "sim/SimConfig.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tolvane::sim;

TEST(Config, WordsWithQuotesAndByteEscapes) {
  EXPECT_EQ(splitConfigWords("number 555 fax ident=\"A B\\\"C\" # comment"),
            (std::vector<std::string>{"number", "555", "fax", "ident=A B\"C"}));
  EXPECT_EQ(splitConfigWords("ident=\\xff\\x00x"),
            (std::vector<std::string>{std::string("ident=\xff\0x", 9)}));
  EXPECT_TRUE(splitConfigWords("   # only a comment").empty());
}

TEST(Config, LinesBuildModemsNumbersAndCalls) {
  SimConfig c;
  EXPECT_EQ(
      applyConfigLine(c, "modem com1 model=liar number=555-1234 link=/tmp/x delay=200 garbage"),
      "");
  EXPECT_EQ(
      applyConfigLine(c, "number 9,5550100 fax rtn=1,3 ftt=14400 dcn=EOP drop=2.5 max-rate=9600"),
      "");
  EXPECT_EQ(applyConfigLine(c, "call 95550100 com1 at=3 every=60"), "");
  EXPECT_EQ(applyConfigLine(c, "speed 8"), "");
  ASSERT_EQ(c.modems.size(), 1u);
  EXPECT_EQ(c.modems[0].number, "5551234");
  EXPECT_EQ(c.modems[0].model.reported, "0,1,2,2.0");
  EXPECT_EQ(c.modems[0].model.classes.count("2"), 0u);
  ASSERT_EQ(c.numbers.size(), 1u);
  EXPECT_EQ(c.numbers[0].number, "95550100");
  EXPECT_EQ(c.numbers[0].fax.rtnPages, (std::set<int>{1, 3}));
  EXPECT_EQ(c.numbers[0].fax.maxRate, 9600);
  EXPECT_DOUBLE_EQ(c.numbers[0].fax.dropAfter, 2.5);
  EXPECT_DOUBLE_EQ(c.calls.at(0).every, 60);
  EXPECT_DOUBLE_EQ(c.speed, 8);
}

TEST(Config, BadLinesSayWhy) {
  SimConfig c;
  for (const char* bad :
       {"modem", "modem x model=class9", "number 1 fax max-rate=2400", "number 1 fax dcn=XYZ",
        "number 1 telex", "number 1 fax rtn=a", "call 1", "speed 0", "speed 100", "frobnicate"})
    EXPECT_NE(applyConfigLine(c, bad), "") << bad;
}

TEST(Config, FilesNameTheBadLine) {
  SimConfig c;
  EXPECT_EQ(loadConfigFile(c, std::string(TOLVANE_SOURCE_DIR) + "/sim/demo.conf"), "");
  EXPECT_EQ(c.modems.size(), 1u);
  EXPECT_EQ(c.numbers.size(), 6u);
  std::string bad = std::string(TOLVANE_BINARY_DIR) + "/sim-bad.conf";
  { std::ofstream(bad) << "# fine\nmodem m\nnumber 5 fax rtn=x\n"; }
  EXPECT_EQ(loadConfigFile(c, bad), bad + ":3: bad rtn list x");
  EXPECT_NE(loadConfigFile(c, bad + ".missing"), "");
}
