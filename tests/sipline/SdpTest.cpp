// SDP of fax calls as gateways and providers write it.

#include "sipline/SdpMedia.h"

#include <gtest/gtest.h>

using namespace tolvane::sipline;

TEST(Sdp, T38OfferOfAGatewayIsReadAndAnsweredWithCommonTerms) {
  const char* offer = "v=0\r\n"
                      "o=gw 1 2 IN IP4 192.0.2.1\r\n"
                      "s=-\r\n"
                      "c=IN IP4 192.0.2.1\r\n"
                      "t=0 0\r\n"
                      "m=audio 0 RTP/AVP 0\r\n"
                      "m=image 40000 udptl t38\r\n"
                      "c=IN IP4 192.0.2.7\r\n"
                      "a=T38FaxVersion:1\r\n"
                      "a=T38MaxBitRate:9600\r\n"
                      "a=T38FaxFillBitRemoval:1\r\n"
                      "a=t38faxratemanagement:localTCF\r\n"
                      "a=T38FaxMaxDatagram:272\r\n"
                      "a=T38FaxUdpEC:t38UDPRedundancy\r\n";
  auto m = parseSdp(offer);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->address, "192.0.2.7") << "the stream's own c= line wins";
  EXPECT_EQ(m->audioPort, 0) << "a refused audio stream";
  EXPECT_EQ(m->imagePort, 40000);
  EXPECT_EQ(m->t38.maxDatagram, 272);

  T38Attributes ours;
  T38Attributes a = answerT38(m->t38, ours);
  EXPECT_EQ(a.version, 0);
  EXPECT_EQ(a.maxBitRate, 9600);
  EXPECT_FALSE(a.fillBitRemoval) << "we never remove fill bits ourselves";
  EXPECT_EQ(a.rateManagement, RateManagement::LocalTcf);

  // What we write reads back as the same terms.
  MediaDescription answer;
  answer.address = "127.0.0.1";
  answer.imagePort = 5004;
  answer.t38 = a;
  const std::string text = writeSdp(answer, 3, &*m);
  // The offer's m= lines in their order, the unused audio refused.
  const size_t audio = text.find("m=audio 0 RTP/AVP 0\r\n");
  EXPECT_NE(audio, std::string::npos) << text;
  EXPECT_LT(audio, text.find("m=image 5004 udptl t38\r\n")) << text;
  auto back = parseSdp(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->streams.size(), 2u);
  EXPECT_EQ(back->imagePort, 5004);
  EXPECT_EQ(back->t38.maxBitRate, 9600);
  EXPECT_EQ(back->t38.rateManagement, RateManagement::LocalTcf);
  EXPECT_EQ(back->t38.errorCorrection, UdpErrorCorrection::Redundancy);
}

TEST(Sdp, AudioOffersKeepOnlyG711AndBadOnesAreRefused) {
  auto m = parseSdp("v=0\r\nc=IN IP4 10.0.0.2\r\nm=audio 7078 RTP/AVP 18 101 0 8\r\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->audioPort, 7078);
  EXPECT_EQ(m->audioPayloads, (std::vector<int>{0, 8})) << "in the far end's order of preference";
  EXPECT_FALSE(parseSdp("v=0\r\nc=IN IP4 10.0.0.2\r\nm=audio 7078 RTP/AVP 18\r\n"))
      << "no G.711, nothing to use";
  EXPECT_FALSE(parseSdp("v=0\r\nc=IN IP6 ::1\r\nm=audio 7078 RTP/AVP 0\r\n"));
  EXPECT_FALSE(parseSdp("c=IN IP4 10.0.0.2\r\nm=audio 7078 RTP/AVP 0\r\n")) << "no v= line";

  T38Attributes t;
  EXPECT_TRUE(parseT38Attribute("T38FaxTranscodingMMR", t));
  EXPECT_TRUE(t.transcodingMmr) << "a bare flag is set";
  EXPECT_TRUE(parseT38Attribute("T38FaxTranscodingMMR:0", t));
  EXPECT_FALSE(t.transcodingMmr);
  EXPECT_FALSE(parseT38Attribute("T38FaxUdpEC:t38UDPSomething", t));
  EXPECT_FALSE(parseT38Attribute("T38MaxBitRate:fast", t));
}
