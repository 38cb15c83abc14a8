#include "SimBench.h"

#include <gtest/gtest.h>

using namespace tolvane::sim;
using tolvane::sim::test::SimBench;

TEST(Line, TwoModemsCallEachOtherAndTrain) {
  SimBench b;
  b.addModem("a model=class1 number=101");
  b.addModem("b model=class1 number=102");
  b.type(0, "ATE0+FCLASS=1\r");
  b.type(1, "ATE0S0=2+FCLASS=1\r");
  b.type(0, "ATDT102\r");
  ASSERT_TRUE(b.waitFor(1, "RING", 3));
  EXPECT_TRUE(b.waitFor(1, "CONNECT", 10)) << "answers on the second ring: " << b.output[1];
  EXPECT_EQ(b.output[1].find("RING"), b.output[1].rfind("RING") - 8) << b.output[1];
  // The answering side sends V.21 flags at once; the caller hears them.
  EXPECT_TRUE(b.waitFor(0, "CONNECT", 10)) << b.output[0];
  // Hanging up one side leaves the other to notice the line is dead.
  b.output[1].clear();
  b.type(0, "\r"); // any byte stops the +FRH that CONNECT started
  b.run(0.5);
  EXPECT_NE(b.type(0, "ATH\r").find("OK"), std::string::npos);
  EXPECT_TRUE(b.waitFor(1, "NO CARRIER", 20)) << b.output[1];
}

TEST(Line, CallProgressResults) {
  SimBench b;
  b.addModem("a model=class1");
  b.addModem("b model=class1 number=555");
  b.addNumber("200 busy");
  b.addNumber("201 no-dialtone");
  b.addNumber("202 no-answer ring=5");
  b.type(0, "ATE0+FCLASS=1\r");
  struct Case {
    std::string dial, result;
  } cases[] = {{"ATDT200\r", "BUSY"}, {"ATDT201\r", "NO DIALTONE"}, {"ATDP202\r", "NO ANSWER"}};
  for (auto& c : cases) {
    b.output[0].clear();
    b.type(0, c.dial);
    EXPECT_TRUE(b.waitFor(0, c.result, 20)) << c.dial << " gave " << b.output[0];
  }
  // A modem that is itself off the hook in a call is busy.
  b.type(1, "ATE0+FCLASS=1\r");
  b.addNumber("300 no-answer ring=60");
  b.type(1, "ATD300\r");
  b.output[0].clear();
  b.type(0, "ATD555\r");
  EXPECT_TRUE(b.waitFor(0, "BUSY", 5)) << b.output[0];
}

TEST(Line, NextCallOverridesTheNumberOnce) {
  SimBench b;
  b.addModem("a model=class1");
  b.addNumber("400 no-answer ring=2");
  ASSERT_EQ(applyConfigLine(b.config, "next 400 busy"), "");
  b.type(0, "ATE0+FCLASS=1\r");
  b.type(0, "ATD400\r");
  EXPECT_TRUE(b.waitFor(0, "BUSY", 5)) << b.output[0];
  b.output[0].clear();
  b.type(0, "ATD400\r");
  EXPECT_TRUE(b.waitFor(0, "NO ANSWER", 8)) << b.output[0];
}
