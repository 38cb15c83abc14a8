#pragma once
// Runs fax calls over SIP on loopback for the tests and benchmarks: two
// tolvane-sipmodem processes (calling each other directly, through a lossy
// relay, or registered with kamailio), tolvane-fax sending a one-page letter
// on one and receiving on the other, and the received page compared row for
// row with the one sent. Also captures the traffic for tshark.

#include "InteropHarness.h"
#include "LossyRelay.h"

#include <memory>
#include <string>
#include <vector>

namespace sipcall {

struct CallResult {
  int sendStatus = -1;
  int receiveStatus = -1;
  std::string pageDifference = "no page received"; // empty: the page arrived whole
  double seconds = 0;                              // from dialling to the sender's end
  double modemCpuSeconds = 0;                      // both tolvane-sipmodem processes
  std::string logs;                                // of the programs, for a failure message
  bool ok() const { return sendStatus == 0 && receiveStatus == 0 && pageDifference.empty(); }
};

class SipCallRig {
public:
  SipCallRig();
  ~SipCallRig();

  // Two modems that dial each other (loss 0) or the relay in between; an
  // error text, empty on success.
  std::string startModems(const std::vector<std::string>& callerOptions,
                          const std::vector<std::string>& answererOptions, double loss = 0,
                          uint32_t seed = 23);
  // kamailio on loopback, every user's password "s3cret"; its address, or
  // empty when it did not start.
  std::string startRegistrar();
  // Ends kamailio (every registration it held is forgotten) and starts it
  // again on the same port; false when it did not come back.
  void stopRegistrar();
  bool restartRegistrar();
  // A modem registering as user; it becomes the caller or the answerer if
  // that one is not there yet.
  interop::Child& registeredModem(const std::string& user, const char* password,
                                  const std::vector<std::string>& options = {});

  // The caller dials `number` (a number, or a SIP address).
  CallResult faxOnePage(bool fine, const std::string& number = "502");
  // tolvane-fax sending a one-page letter (standard resolution, written to
  // *document) from the caller's modem to `number`; running when returned.
  std::unique_ptr<interop::Child> startSend(const std::string& number, std::string* document);
  // The answerer's SIP address.
  std::string answererAddress() const;

  bool startCapture();
  void stopCapture();
  // Packets tshark shows for a display filter, the modems' SIP ports
  // decoded as SIP.
  int tsharkCount(const std::string& filter) const;
  // Number of the first captured frame that matches, or -1.
  int tsharkFirstFrame(const std::string& filter) const;
  int tsharkLastFrame(const std::string& filter) const;

  interop::Child& caller() { return *m_caller; }
  interop::Child& answerer() { return *m_answerer; }
  interop::Child& registrar() { return *m_registrar; }
  LossyRelay& relay() { return *m_relay; }

  // A loopback port free for SIP (UDP and TCP) now.
  static int freeSipPort();
  static bool waitForText(const interop::Child& c, const std::string& text, int seconds);

private:
  bool launchRegistrar();
  std::string ownPackets(const std::string& filter) const;
  std::unique_ptr<interop::Child> startModem(const std::string& link,
                                             const std::vector<std::string>& options,
                                             const std::string& log);
  std::string makeDocument(bool fine);

  interop::TempDir m_dir;
  interop::TempDir m_scratch;
  std::string m_com1, m_com2;
  std::vector<int> m_sipPorts;
  std::string m_captureFile;
  std::string m_ownTraffic = "udp"; // display filter of this rig's packets
  std::string m_registrarAddress;
  std::vector<std::unique_ptr<interop::Child>> m_extra;
  std::unique_ptr<LossyRelay> m_relay;
  std::unique_ptr<interop::Child> m_registrar, m_caller, m_answerer, m_capture;
  int m_calls = 0;
  int m_registrarStarts = 0;
};

} // namespace sipcall
