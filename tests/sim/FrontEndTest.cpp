#include "SimBench.h"
#include "sim/AtParser.h"
#include "sim/Class1Engine.h"

#include <gtest/gtest.h>

using namespace tolvane::sim;
using tolvane::sim::test::SimBench;

TEST(FrontEnd, EchoResultFormatsAndRegisters) {
  SimBench b;
  b.addModem("m model=class1");
  EXPECT_EQ(b.type(0, "AT\r"), "AT\r\r\nOK\r\n");
  EXPECT_EQ(b.type(0, "ATE0\r"), "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(b.type(0, "ATS7=60S7?\r"), "\r\n060\r\n\r\nOK\r\n");
  EXPECT_EQ(b.type(0, "ATS300=1\r"), "\r\nERROR\r\n");
  EXPECT_EQ(b.type(0, "ATV0\r"), "0\r");
  EXPECT_EQ(b.type(0, "ATFOO\r"), "4\r");
  EXPECT_EQ(b.type(0, "ATQ1\r"), "");
  EXPECT_EQ(b.type(0, "ATQ0V1S3=10\r"), "\r\nOK\r\n");
  EXPECT_EQ(b.type(0, "AT\n"), "\r\nOK\r\n") << "S3 chose the line end";
  // ATZ brings back echo, CR and word results.
  EXPECT_EQ(b.type(0, "ATZ\n"), "\r\nOK\r\n");
  EXPECT_EQ(b.type(0, "AT\r"), "AT\r\r\nOK\r\n");
}

TEST(FrontEnd, ClassesFollowTheModel) {
  SimBench b;
  b.addModem("one model=class1");
  b.addModem("liar model=liar");
  b.type(0, "ATE0\r");
  b.type(1, "ATE0\r");
  EXPECT_EQ(b.type(0, "AT+FCLASS=?\r"), "\r\n0,1\r\n\r\nOK\r\n");
  EXPECT_EQ(b.type(0, "AT+FCLASS=2\r"), "\r\nERROR\r\n");
  EXPECT_EQ(b.type(0, "AT+FCLASS?\r"), "\r\n0\r\n\r\nOK\r\n");
  // The liar claims classes it cannot switch to.
  EXPECT_EQ(b.type(1, "AT+FCLASS=?\r"), "\r\n0,1,2,2.0\r\n\r\nOK\r\n");
  EXPECT_EQ(b.type(1, "AT+FCLASS=2.0\r"), "\r\nERROR\r\n");
  EXPECT_EQ(b.type(1, "AT+FCLASS=1\r"), "\r\nOK\r\n");
  EXPECT_EQ(b.type(1, "AT+FCLASS?\r"), "\r\n1\r\n\r\nOK\r\n");
}

TEST(FrontEnd, ClassOneCommandsReachT31WithOneFinalResult) {
  SimBench b;
  b.addModem("m model=class1");
  b.type(0, "ATE0\r");
  std::string out = b.type(0, "AT+FCLASS=1;+FTM=?;+FRM=?\r");
  EXPECT_NE(out.find("24,48,72,73,74,96,97,98,121,122,145,146"), std::string::npos) << out;
  EXPECT_EQ(out.find("OK"), out.rfind("OK")) << "one OK for the whole line: " << out;
  EXPECT_EQ(b.type(0, "AT+FTM=?;+FCLASS=1.5;+FRM=?\r"),
            "\r\n24,48,72,73,74,96,97,98,121,122,145,146\r\n\r\nERROR\r\n")
      << "the error ends the line";
}

TEST(FrontEnd, ModemMisbehaviour) {
  SimBench b;
  b.addModem("slow model=class1 delay=500");
  b.addModem("mute model=class1 silent");
  b.addModem("noisy model=class1 garbage=\"#JUNK\"");
  EXPECT_EQ(b.type(0, "ATE0\r"), "");
  b.run(0.5);
  EXPECT_EQ(b.output[0], "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(b.type(1, "ATI3\r"), "");
  b.run(1);
  EXPECT_EQ(b.output[1], "");
  EXPECT_EQ(b.type(2, "ATE0\r"), "ATE0\r\r\n#JUNK\r\nOK\r\n");
}

TEST(FrontEnd, OverlongOrBinaryCommandsAreRefusedBeforeT31) {
  SimBench b;
  b.addModem("m model=class1");
  b.type(0, "ATE0+FCLASS=1\r");
  // Once a stack smash in spandsp's dial string handling.
  EXPECT_EQ(b.type(0, "ATDT" + std::string(130, '\xb1') + "1\r"), "\r\nERROR\r\n");
  EXPECT_EQ(b.type(0, "ATD" + std::string(100, '5') + "\r"), "\r\nERROR\r\n");
  EXPECT_EQ(b.type(0, "AT+FTM=" + std::string(200, '9') + "\r"), "\r\nERROR\r\n");
  EXPECT_EQ(b.type(0, "AT\r"), "\r\nOK\r\n") << "still answering";
}

TEST(FrontEnd, SoftwareFlowControlFollowsT31Buffer) {
  SimBench b;
  b.addModem("a model=class1");
  b.addNumber("501 fax ring=0.2");
  b.type(0, "ATE0&K4+FCLASS=1\r");
  b.type(0, "ATD501\r");
  ASSERT_TRUE(b.waitFor(0, "CONNECT", 15));
  ASSERT_TRUE(b.waitFor(0, "\x10\x03\r\nOK\r\n", 10)) << "the answerer's frame";
  b.output[0] = b.type(0, "AT+FTM=96\r");
  ASSERT_TRUE(b.waitFor(0, "CONNECT", 5)) << b.output[0];
  // Far more than T.31 buffers: it stops the DTE, then lets it go on as
  // the line drains the buffer at 9600 bit/s.
  std::string page(20000, '\x55');
  std::string out = b.type(0, page);
  EXPECT_NE(out.find('\x13'), std::string::npos) << "XOFF";
  EXPECT_TRUE(b.waitFor(0, "\x11", 10)) << "XON";
}

// A SIP line dials addresses as well as numbers. T.31 reads only dial
// digits, so the line gets the address as typed (lower case where the AT
// parser upper-cased it, the case of a quoted one kept) and T.31 a stand-in.
TEST(FrontEnd, DialledSipAddressesReachTheLineWhole) {
  std::vector<std::string> dialled;
  Class1Engine engine([](const uint8_t*, size_t) {},
                      [&](const std::string& number) { dialled.push_back(number); }, [] {}, [] {});
  for (const char* line : {"ATDTsip:502@Fax.Example:5072", "ATD\"sip:Fax@Host\"", "ATDT502@host",
                           "ATDT5550100", "ATDsips:9@h"}) {
    const auto commands = parseAtLine(std::string(line).substr(2));
    ASSERT_TRUE(commands && commands->size() == 1) << line;
    engine.command(commands->front());
    engine.reset();
  }
  EXPECT_EQ(dialled, (std::vector<std::string>{"sip:502@fax.example:5072", "sip:Fax@Host",
                                               "502@host", "5550100", "sips:9@h"}));
}
