// Whole fax calls over SIP on loopback: two tolvane-sipmodem processes, with
// tolvane-fax sending a one-page letter on one and receiving it on the
// other, the page compared row for row. Where packets may be captured,
// tshark checks the calls' SIP, SDP, UDPTL and RTP.

#include "SipCallRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

using namespace sipcall;

namespace {

void expectWholePage(const CallResult& r) {
  EXPECT_EQ(r.sendStatus, 0) << r.logs;
  EXPECT_EQ(r.receiveStatus, 0) << r.logs;
  EXPECT_EQ(r.pageDifference, "") << r.logs;
  std::cout << "one-page call: " << r.seconds << " s, modems' CPU " << r.modemCpuSeconds << " s\n";
}

// UDPTL packets of page data: HDLC frames (error correction) or plain T.4
// data at a fast modem's rate, as opposed to V.21 signalling.
const std::string kPageData = "t38.t30_data >= 1 && (t38.field_type == 0 || t38.field_type == 6)";

bool has(interop::Child& c, const std::string& text) {
  return c.log().find(text) != std::string::npos;
}

// tshark, an independent decoder, finds nothing wrong in the call.
void expectCleanCapture(SipCallRig& rig) {
  rig.stopCapture();
  EXPECT_EQ(rig.tsharkCount("_ws.malformed || _ws.expert.severity >= error"), 0);
  EXPECT_GE(rig.tsharkCount("sip.Method == \"INVITE\""), 2) << "the call and its re-INVITE";
  EXPECT_GE(rig.tsharkCount("sdp.media.media == \"image\""), 1) << "a T.38 offer";
}

// `text` appears in the log after the last `marker`, within `seconds`.
bool reportsAfter(const interop::Child& c, const std::string& marker, const std::string& text,
                  int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    const std::string log = c.log();
    const size_t from = log.rfind(marker);
    if (from != std::string::npos && log.find(text, from) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

} // namespace

// The answering modem moves the call to T.38 before its CED; the caller
// follows the re-INVITE. A fine-resolution page crosses as T.38 while the
// caller refreshes the session every two seconds, re-INVITEs that offer
// the media in use and arrive in the middle of the page.
TEST(SipCall, FinePageOverT38ThroughSessionRefreshes) {
  SipCallRig rig;
  ASSERT_EQ(rig.startModems({"--refresh-every", "2"}, {}), "");
  const bool captured = rig.startCapture();
  const CallResult r = rig.faxOnePage(true);
  expectWholePage(r);
  // With error correction: the page's frames cross as T.38 HDLC data.
  EXPECT_NE(r.logs.find("MMR, error correction on"), std::string::npos) << r.logs;
  EXPECT_TRUE(reportsAfter(rig.caller(), "media: T.38", "ECM over T.38: ", 5))
      << rig.caller().log();
  EXPECT_FALSE(has(rig.caller(), "ECM over T.38: 0 frames sent")) << rig.caller().log();
  EXPECT_TRUE(reportsAfter(rig.answerer(), "media: T.38", "ECM over T.38: 0 frames sent, ", 5))
      << rig.answerer().log();
  EXPECT_FALSE(has(rig.answerer(), " sent, 0 received")) << rig.answerer().log();
  EXPECT_TRUE(has(rig.answerer(), "media: T.38")) << rig.answerer().log();
  EXPECT_TRUE(has(rig.caller(), "far end moves the call to T.38")) << rig.caller().log();
  EXPECT_TRUE(has(rig.caller(), "session refreshed")) << rig.caller().log();
  EXPECT_FALSE(has(rig.caller(), "session refresh answered")) << rig.caller().log();
  if (captured) {
    expectCleanCapture(rig);
    EXPECT_GE(rig.tsharkCount("sdp.media.media == \"image\""), 2) << "offer and answer";
    EXPECT_GT(rig.tsharkCount("t38"), 100) << "UDPTL packets of the page";
    // tshark also reads the redundant copies in each datagram, so the page's
    // frames and the plain data before them overlap by a few datagrams.
    const int frames = rig.tsharkCount("t38.t30_data >= 1 && t38.field_type == 0");
    const int plain = rig.tsharkCount("t38.field_type == 6");
    EXPECT_GT(frames, 50) << "page frames as HDLC data at the fast rate";
    EXPECT_LT(plain, 100) << "plain data: only the 1.5 s training check (a fine page without "
                             "error correction takes several hundred datagrams)";
    // A refresh lies between the first and the last packet of page data.
    const int firstData = rig.tsharkFirstFrame(kPageData);
    const int lastData = rig.tsharkLastFrame(kPageData);
    ASSERT_GT(firstData, 0);
    EXPECT_GT(rig.tsharkCount("sip.Method == \"INVITE\" && frame.number > " +
                              std::to_string(firstData) + " && frame.number < " +
                              std::to_string(lastData)),
              0)
        << "no refresh in mid-page";
  }
}

// An answering end without T.38 stays on audio; the caller hears CED,
// offers T.38, is refused with 488 and sends the page as G.711 audio.
TEST(SipCall, StandardPageOverG711AfterT38IsRefused) {
  SipCallRig rig;
  ASSERT_EQ(rig.startModems({"--pcmu"}, {"--no-t38"}), "");
  const bool captured = rig.startCapture();
  // Dialled as a full SIP address rather than a number.
  const std::string address = "sip:502@" + rig.answererAddress();
  expectWholePage(rig.faxOnePage(false, address));
  EXPECT_TRUE(has(rig.caller(), "dialling " + address + "\n")) << rig.caller().log();
  EXPECT_TRUE(has(rig.caller(), "fax tones heard: offering T.38")) << rig.caller().log();
  EXPECT_TRUE(has(rig.caller(), "T.38 refused (488): staying on G.711")) << rig.caller().log();
  EXPECT_FALSE(has(rig.caller(), "media: T.38")) << rig.caller().log();
  if (captured) {
    expectCleanCapture(rig);
    EXPECT_EQ(rig.tsharkCount("sip.Status-Code == 488"), 1);
    EXPECT_GT(rig.tsharkCount("rtp.p_type == 0"), 500) << "mu-law audio of the page";
    // Until the 488 arrives, tshark takes the audio reaching the port the
    // T.38 offer named for UDPTL; after it, nothing may be T.38.
    const int refused = rig.tsharkFirstFrame("sip.Status-Code == 488");
    ASSERT_GT(refused, 0);
    EXPECT_EQ(rig.tsharkCount("t38 && frame.number > " + std::to_string(refused)), 0);
  }
}

// One datagram in ten of the media is lost on the way; the redundant
// copies in every UDPTL datagram bring the page through whole.
TEST(SipCall, T38PageSurvivesTenPercentPacketLoss) {
  SipCallRig rig;
  ASSERT_EQ(rig.startModems({}, {}, 0.10), "");
  expectWholePage(rig.faxOnePage(false));
  EXPECT_GT(rig.relay().mediaDropped(), rig.relay().mediaForwarded() / 20) << "packets were lost";
  EXPECT_TRUE(has(rig.caller(), "media: T.38")) << rig.caller().log();
}

// Both modems register with kamailio using digest authentication; a third
// modem with a wrong password is told so in plain words and keeps running.
// Then the registrar goes away: the modems say so, and register again once
// it is back. The restarted registrar knows nobody, so the call routed
// through it afterwards shows that the new registrations are real.
TEST(SipCall, RegisteredModemsCallThroughTheRegistrarAfterItComesBack) {
  if (std::system("command -v kamailio > /dev/null") != 0)
    GTEST_SKIP() << "kamailio is not installed";
  SipCallRig rig;
  const std::string at = rig.startRegistrar();
  ASSERT_NE(at, "") << rig.registrar().log();
  const std::vector<std::string> shortLived = {"--register-seconds", "4"};
  interop::Child& caller = rig.registeredModem("601", "s3cret", shortLived);
  interop::Child& answerer = rig.registeredModem("502", "s3cret", shortLived);
  interop::Child& intruder = rig.registeredModem("603", "guess");
  ASSERT_TRUE(SipCallRig::waitForText(caller, "registered with " + at, 10)) << caller.log();
  ASSERT_TRUE(SipCallRig::waitForText(answerer, "registered with " + at, 10)) << answerer.log();
  ASSERT_TRUE(SipCallRig::waitForText(intruder, "SIP registration refused: 403 Forbidden", 10))
      << intruder.log() << rig.registrar().log();

  rig.stopRegistrar();
  for (interop::Child* modem : {&caller, &answerer})
    ASSERT_TRUE(SipCallRig::waitForText(*modem, "SIP registrar not reachable: ", 30))
        << modem->log();
  ASSERT_TRUE(rig.restartRegistrar());
  for (interop::Child* modem : {&caller, &answerer})
    ASSERT_TRUE(reportsAfter(*modem, "SIP registrar not reachable: ", "registered with " + at, 30))
        << modem->log();

  expectWholePage(rig.faxOnePage(false));
  EXPECT_TRUE(has(caller, "dialling sip:502@" + at)) << caller.log();
  EXPECT_TRUE(has(answerer, "incoming call from 601")) << answerer.log();
  EXPECT_EQ(intruder.wait(0), -1) << "still running after the refusal: " << intruder.log();
}

#ifdef LIBRE_FAXPEER
namespace {

// An independent far end, on another SIP stack (libre) with spandsp's own
// fax terminals: Tolvane sends it a letter, then it sends Tolvane a page,
// each one standard page compared row for row. With t38 the far end
// re-INVITEs to T.38 itself and its T.38 terminal speaks for it; without,
// it refuses T.38 and its audio fax terminal answers on G.711.
void faxBothWaysWithLibrePeer(bool t38) {
  using interop::Child;
  interop::TempDir dir, scratch;
  const int line = SipCallRig::freeSipPort(), peer = SipCallRig::freeSipPort();
  const std::string lineAt = "127.0.0.1:" + std::to_string(line);
  const std::string peerAt = "127.0.0.1:" + std::to_string(peer);
  Child modem({TOLVANE_SIPMODEM, "--link", dir / "line", "--listen", lineAt, "--peer", peerAt},
              dir / "modem.log");
  ASSERT_TRUE(SipCallRig::waitForText(modem, "ready", 10)) << modem.log();
  std::vector<std::string> peerArgs = {LIBRE_FAXPEER, "--listen", peerAt};
  if (t38)
    peerArgs.push_back("--t38");

  // Tolvane sends.
  std::ofstream(dir / "letter.txt") << "A letter to a fax machine on another SIP stack.\n"
                                       "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ\n";
  const std::string apf = dir / "letter.apf";
  ASSERT_EQ(std::system((interop::tolvaneFaxPath() + " convert '" + (dir / "letter.txt") + "' '" +
                         apf + "' > /dev/null")
                            .c_str()),
            0);
  std::vector<std::string> receiving = peerArgs;
  receiving.insert(receiving.end(), {"--receive", dir / "got.tif"});
  Child receiver(receiving, dir / "peer-receive.log");
  ASSERT_TRUE(SipCallRig::waitForText(receiver, "ready", 10)) << receiver.log();
  Child sender({interop::tolvaneFaxPath(), "send", dir / "line", "502", apf, "--class", "1",
                "--attempts", "1", "--timeout", "90"},
               dir / "send.log");
  EXPECT_EQ(sender.wait(120), 0) << sender.log() << modem.log() << receiver.log();
  EXPECT_EQ(receiver.wait(20), 0) << receiver.log();
  if (t38) {
    EXPECT_TRUE(has(modem, "far end moves the call to T.38")) << modem.log();
    EXPECT_TRUE(has(receiver, "error correction: on, coding: T.6")) << receiver.log();
    EXPECT_TRUE(reportsAfter(modem, "hanging up", "ECM over T.38: ", 2)) << modem.log();
  } else
    EXPECT_TRUE(has(modem, "T.38 refused (488): staying on G.711")) << modem.log();
  const auto sent = interop::exportApf(apf, scratch);
  const auto got = interop::tiffPages(dir / "got.tif");
  ASSERT_EQ(got.size(), 1u) << receiver.log();
  EXPECT_EQ(interop::compareRows(sent.at(0), got[0], 80), "");

  // Tolvane receives.
  const std::string page = dir / "page.tif";
  interop::writeTiffPage(page, interop::makePage(23));
  const std::string in = dir / "in";
  std::filesystem::create_directory(in);
  Child answerer({interop::tolvaneFaxPath(), "receive", dir / "line", in, "--one", "--rings", "1",
                  "--class", "1", "--timeout", "90"},
                 dir / "receive.log");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  std::vector<std::string> calling = peerArgs;
  calling.insert(calling.end(), {"--call", "sip:502@" + lineAt, "--send", page});
  Child caller(calling, dir / "peer-send.log");
  EXPECT_EQ(caller.wait(120), 0) << caller.log() << modem.log();
  EXPECT_EQ(answerer.wait(20), 0) << answerer.log();
  EXPECT_EQ(modem.wait(0), -1) << "the modem stopped: " << modem.log();
  if (t38) {
    EXPECT_TRUE(reportsAfter(modem, "incoming call", "media: T.38", 1)) << modem.log();
    EXPECT_TRUE(has(caller, "error correction: on, coding: T.6")) << caller.log();
  }
  const auto arrived = interop::exportApf(in + "/FAX0001.APF", scratch);
  ASSERT_EQ(arrived.size(), 1u) << answerer.log();
  EXPECT_EQ(interop::compareRows(interop::tiffPages(page).at(0), arrived[0], 0), "");
}

} // namespace

TEST(SipCall, IndependentFarEndOnAnotherSipStackBothWaysOverG711) {
  faxBothWaysWithLibrePeer(false);
}

// The far end's T.38 terminal sends and expects error-corrected pages as
// T.38 HDLC frames: both ways the two ends agree on ECM and T.6 coding, as
// spandsp's T.30 at the far end reports, and the modem carries the frames.
TEST(SipCall, IndependentFarEndOnAnotherSipStackBothWaysOverT38) {
  faxBothWaysWithLibrePeer(true);
}
#endif
