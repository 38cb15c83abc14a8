#include "SipCallRig.h"
#include "tests/support/LoopbackPort.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace interop;
namespace fs = std::filesystem;

namespace sipcall {
namespace {

constexpr size_t kHeaderBand = 80; // rows the sender may fill with its header line

// A port that is free for both UDP and TCP now (sofia listens on both).
std::string local(int port) {
  return "127.0.0.1:" + std::to_string(port);
}

void pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

SipCallRig::SipCallRig() {
  const std::string unique = fs::path(m_dir.path()).filename().string();
  m_com1 = m_dir / ("sa" + unique);
  m_com2 = m_dir / ("sb" + unique);
}

SipCallRig::~SipCallRig() = default;

int SipCallRig::freeSipPort() {
  return testsupport::freeLoopbackPort();
}

bool SipCallRig::waitForText(const Child& c, const std::string& text, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (c.log().find(text) != std::string::npos)
      return true;
    pause(50);
  }
  return false;
}

std::unique_ptr<Child> SipCallRig::startModem(const std::string& link,
                                              const std::vector<std::string>& options,
                                              const std::string& log) {
  std::vector<std::string> argv = {TOLVANE_SIPMODEM, "--link", link};
  argv.insert(argv.end(), options.begin(), options.end());
  return std::make_unique<Child>(argv, m_dir / log);
}

std::string SipCallRig::startModems(const std::vector<std::string>& callerOptions,
                                    const std::vector<std::string>& answererOptions, double loss,
                                    uint32_t seed) {
  m_sipPorts = {testsupport::freeLoopbackPort(), testsupport::freeLoopbackPort()};
  std::string peer1 = local(m_sipPorts[1]), peer2 = local(m_sipPorts[0]);
  if (loss > 0) {
    m_relay = std::make_unique<LossyRelay>(m_sipPorts[0], m_sipPorts[1], loss, seed);
    peer1 = peer2 = local(m_relay->sipPort());
  }
  std::vector<std::string> a = {"--listen", local(m_sipPorts[0]), "--peer", peer1};
  std::vector<std::string> b = {"--listen", local(m_sipPorts[1]), "--peer", peer2};
  a.insert(a.end(), callerOptions.begin(), callerOptions.end());
  b.insert(b.end(), answererOptions.begin(), answererOptions.end());
  m_caller = startModem(m_com1, a, "caller.log");
  m_answerer = startModem(m_com2, b, "answerer.log");
  if (!waitForText(*m_caller, "ready", 10))
    return m_caller->log();
  if (!waitForText(*m_answerer, "ready", 10))
    return m_answerer->log();
  return {};
}

std::string SipCallRig::startRegistrar() {
  const std::string port = std::to_string(testsupport::freeLoopbackPort());
  std::ifstream in(TOLVANE_SOURCE_DIR "/tests/sipline/kamailio.cfg");
  std::string cfg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (auto [key, value] :
       {std::pair<std::string, std::string>{"@PORT@", port}, {"@PASSWORD@", "s3cret"}})
    for (size_t at = cfg.find(key); at != std::string::npos; at = cfg.find(key, at))
      cfg.replace(at, key.size(), value);
  std::ofstream(m_dir / "kamailio.cfg") << cfg;
  if (!launchRegistrar())
    return {};
  m_registrarAddress = "127.0.0.1:" + port;
  return m_registrarAddress;
}

bool SipCallRig::launchRegistrar() {
  m_registrar =
      std::make_unique<Child>(std::vector<std::string>{"kamailio", "-DD", "-E", "-f",
                                                       m_dir / "kamailio.cfg", "-w", m_dir.path()},
                              m_dir / ("kamailio" + std::to_string(++m_registrarStarts) + ".log"));
  return waitForText(*m_registrar, "SO_RCVBUF is finally", 10);
}

void SipCallRig::stopRegistrar() {
  m_registrar->terminate();
  m_registrar->wait(10);
}

bool SipCallRig::restartRegistrar() {
  return launchRegistrar();
}

std::string SipCallRig::answererAddress() const {
  return local(m_sipPorts.at(1));
}

Child& SipCallRig::registeredModem(const std::string& user, const char* password,
                                   const std::vector<std::string>& options) {
  const int port = testsupport::freeLoopbackPort();
  m_sipPorts.push_back(port);
  std::string link = !m_caller ? m_com1 : !m_answerer ? m_com2 : m_dir / ("extra" + user);
  setenv("TOLVANE_SIP_PASSWORD", password, 1);
  std::vector<std::string> args = {"--listen",         local(port), "--registrar",
                                   m_registrarAddress, "--user",    user};
  args.insert(args.end(), options.begin(), options.end());
  auto modem = startModem(link, args, user + ".log");
  unsetenv("TOLVANE_SIP_PASSWORD");
  std::unique_ptr<Child>& slot = !m_caller     ? m_caller
                                 : !m_answerer ? m_answerer
                                               : m_extra.emplace_back();
  slot = std::move(modem);
  return *slot;
}

std::string SipCallRig::makeDocument(bool fine) {
  std::ofstream text(m_dir / "doc.txt");
  for (int line = 1; line <= 10; ++line)
    text << "Line " << line << " of a letter over SIP: 0123456789 ABCDEFGHIJ\n";
  text.close();
  const std::string apf = m_dir / "doc.apf";
  const std::string command = tolvaneFaxPath() + " convert '" + (m_dir / "doc.txt") + "' '" + apf +
                              "'" + (fine ? " --fine" : "") + " > /dev/null";
  return std::system(command.c_str()) == 0 ? apf : std::string();
}

CallResult SipCallRig::faxOnePage(bool fine, const std::string& number) {
  CallResult r;
  const std::string doc = makeDocument(fine);
  const std::string in = m_dir / ("in" + std::to_string(++m_calls));
  fs::create_directory(in);
  Child receiver({tolvaneFaxPath(), "receive", m_com2, in, "--one", "--rings", "1", "--class", "1",
                  "--timeout", "90"},
                 in + ".receive.log");
  pause(800);
  const double cpuBefore = m_caller->cpuSeconds() + m_answerer->cpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  Child sender({tolvaneFaxPath(), "send", m_com1, number, doc, "--class", "1", "--attempts", "1",
                "--timeout", "90"},
               in + ".send.log");
  r.sendStatus = sender.wait(120);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.receiveStatus = receiver.wait(20);
  r.modemCpuSeconds = m_caller->cpuSeconds() + m_answerer->cpuSeconds() - cpuBefore;
  r.logs = sender.log() + receiver.log() + m_caller->log() + m_answerer->log();
  if (fs::exists(in + "/FAX0001.APF")) {
    const auto sent = exportApf(doc, m_scratch);
    const auto got = exportApf(in + "/FAX0001.APF", m_scratch);
    if (sent.size() != 1 || got.size() != 1)
      r.pageDifference = std::to_string(got.size()) + " pages received";
    else
      r.pageDifference = compareRows(sent[0], got[0], kHeaderBand);
  }
  return r;
}

std::unique_ptr<Child> SipCallRig::startSend(const std::string& number, std::string* document) {
  *document = makeDocument(false);
  return std::make_unique<Child>(std::vector<std::string>{tolvaneFaxPath(), "send", m_com1, number,
                                                          *document, "--class", "1", "--attempts",
                                                          "1", "--timeout", "90"},
                                 m_dir / "send.log");
}

bool SipCallRig::startCapture() {
  if (std::system("command -v dumpcap > /dev/null && command -v tshark > /dev/null") != 0)
    return false;
  m_captureFile = m_dir / "call.pcapng";
  m_capture = std::make_unique<Child>(
      std::vector<std::string>{"dumpcap", "-q", "-i", "lo", "-f", "udp", "-w", m_captureFile},
      m_dir / "dumpcap.log");
  for (int i = 0; i < 100 && !fs::exists(m_captureFile); ++i)
    pause(50);
  if (!fs::exists(m_captureFile)) {
    m_capture.reset();
    return false;
  }
  pause(300);
  return true;
}

namespace {

std::string tsharkCommand(const std::string& captureFile, const std::vector<int>& sipPorts) {
  std::string command = "tshark -r '" + captureFile + "'";
  for (int port : sipPorts)
    command += " -d udp.port==" + std::to_string(port) + ",sip";
  return command;
}

} // namespace

// Other tests may run calls at the same time, and the capture sees every
// UDP packet on loopback: the checks look only at this rig's SIP ports and
// the media ports its own SDP names.
void SipCallRig::stopCapture() {
  if (!m_capture)
    return;
  m_capture->terminate();
  std::string ports;
  auto add = [&ports](int port) { ports += (ports.empty() ? "" : ", ") + std::to_string(port); };
  for (int port : m_sipPorts)
    add(port);
  // tshark finds SIP on any port: only the SDP of this rig's SIP counts.
  const std::string command = tsharkCommand(m_captureFile, m_sipPorts) +
                              " -Y 'sdp && udp.port in {" + ports +
                              "}' -T fields -e sdp.media.port 2>/dev/null | tr ',' '\\n'";
  if (FILE* p = popen(command.c_str(), "r")) {
    int port = 0;
    while (std::fscanf(p, "%d", &port) == 1)
      add(port);
    pclose(p);
  }
  m_ownTraffic = "udp.port in {" + ports + "}";
}

namespace {

// Runs tshark over the capture, SIP decoded on the modems' ports, and
// returns the first number its output starts with, or -1.
int tsharkNumber(const std::string& captureFile, const std::vector<int>& sipPorts,
                 const std::string& options, const std::string& pipe) {
  const std::string command =
      tsharkCommand(captureFile, sipPorts) + " " + options + " 2>/dev/null | " + pipe;
  FILE* p = popen(command.c_str(), "r");
  int n = -1;
  if (p && std::fscanf(p, "%d", &n) != 1)
    n = -1;
  if (p)
    pclose(p);
  return n;
}

} // namespace

std::string SipCallRig::ownPackets(const std::string& filter) const {
  return "-Y '(" + filter + ") && " + m_ownTraffic + "'";
}

int SipCallRig::tsharkCount(const std::string& filter) const {
  return tsharkNumber(m_captureFile, m_sipPorts, ownPackets(filter), "wc -l");
}

int SipCallRig::tsharkFirstFrame(const std::string& filter) const {
  return tsharkNumber(m_captureFile, m_sipPorts, ownPackets(filter) + " -T fields -e frame.number",
                      "head -n 1");
}

} // namespace sipcall

namespace sipcall {

int SipCallRig::tsharkLastFrame(const std::string& filter) const {
  return tsharkNumber(m_captureFile, m_sipPorts, ownPackets(filter) + " -T fields -e frame.number",
                      "tail -n 1");
}

} // namespace sipcall
