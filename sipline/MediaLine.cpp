#include "sipline/MediaLine.h"

#include "sipline/T38Ifp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tolvane::sipline {
namespace {

// Redundant copies of each IFP packet in later datagrams (as many as fit
// the datagram size), and the datagram size no T.38 end has to take more of
// (T38FaxMaxDatagram we offer). Image data packets at 14400 bit/s are about
// 60 octets, so five copies fit and a page survives runs of five losses.
constexpr int kRedundancy = 5;
constexpr size_t kMaxDatagram = 400;

uint32_t randomSsrc() {
  std::random_device rd;
  return rd();
}

// A non-blocking UDP socket on an ephemeral port; returns its port.
int openUdp(const std::string& address, int& fd) {
  fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  if (fd < 0 || inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::string why = std::strerror(errno);
    if (fd >= 0)
      ::close(fd);
    fd = -1;
    throw std::runtime_error("cannot open a media socket on " + address + ": " + why);
  }
  socklen_t n = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  return ntohs(a.sin_port);
}

} // namespace

MediaLine::MediaLine(sim::Class1Engine& engine, const std::string& localAddress)
    : m_engine(engine), m_localAddress(localAddress), m_rtpTx(kPayloadPcma, randomSsrc()),
      m_udptlTx(kRedundancy, kMaxDatagram),
      m_udptlRx([this](const uint8_t* ifp, size_t len, uint16_t seq) { ifpIn(ifp, len, seq); }) {
  // Audio and T.38 each on a port of their own, so that neither end (nor a
  // packet analyser) ever reads one as the other around a re-INVITE.
  m_audioPort = openUdp(localAddress, m_audioFd);
  try {
    m_imagePort = openUdp(localAddress, m_imageFd);
  } catch (...) {
    ::close(m_audioFd);
    throw;
  }
  m_tones = modem_connect_tones_rx_init(nullptr, MODEM_CONNECT_TONES_FAX_CED_OR_PREAMBLE, nullptr,
                                        nullptr);
}

MediaLine::~MediaLine() {
  if (m_engine.t38Mode())
    m_engine.setT38Mode(false);
  modem_connect_tones_rx_free(m_tones);
  ::close(m_audioFd);
  ::close(m_imageFd);
}

void MediaLine::setRemote(const std::string& address, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1)
    return;
  m_remote = a;
  m_haveRemote = port != 0;
  m_latched = false;
}

void MediaLine::useAudio(const std::string& address, int port, int payloadType) {
  setRemote(address, port);
  m_rtpTx.setPayloadType(payloadType);
  m_t38 = false;
  m_engine.setT38Mode(false);
}

void MediaLine::useT38(const std::string& address, int port, const T38Attributes& t) {
  setRemote(address, port);
  m_t38 = true;
  m_engine.setT38Mode(true);
  t38_core_state_t* core = m_engine.t38Core();
  t38_set_t38_version(core, t.version);
  m_t38Version = t.version;
  t38_set_data_rate_management_method(core, t.rateManagement == RateManagement::LocalTcf ? 1 : 2);
  t38_set_fill_bit_removal(core, t.fillBitRemoval);
  t38_set_mmr_transcoding(core, false);
  t38_set_jbig_transcoding(core, false);
  t38_set_fastest_image_data_rate(core, t.maxBitRate >= 14400 ? 14400 : t.maxBitRate);
  size_t limit = kMaxDatagram;
  if (t.maxDatagram > 0 && static_cast<size_t>(t.maxDatagram) < limit)
    limit = static_cast<size_t>(t.maxDatagram);
  m_ecm = T38EcmBridge(t.version);
  m_udptlTx = UdptlSender(t.errorCorrection == UdpErrorCorrection::None ? 0 : kRedundancy, limit);
}

void MediaLine::send(const std::vector<uint8_t>& datagram) {
  if (!m_haveRemote)
    return;
  ::sendto(m_t38 ? m_imageFd : m_audioFd, datagram.data(), datagram.size(), 0,
           reinterpret_cast<sockaddr*>(&m_remote), sizeof m_remote);
}

void MediaLine::tick() {
  if (m_t38) {
    m_engine.t38Tick(kFrameSamples);
    return;
  }
  int16_t amp[kFrameSamples] = {};
  int n = m_engine.tx(amp, kFrameSamples);
  (void)n; // the rest of the frame stays silence
  send(m_rtpTx.next(amp));
}

void MediaLine::sendIfp(const uint8_t* ifp, int len, int count) {
  if (!m_t38 || len <= 0)
    return;
  m_ecm.toLine(ifp, static_cast<size_t>(len), count,
               [this](const uint8_t* p, size_t n, int c) { sendPacket(p, n, c); });
}

void MediaLine::sendPacket(const uint8_t* ifp, size_t len, int count) {
  std::vector<uint8_t> datagram = m_udptlTx.next(ifp, len);
  // Data packets go once: the secondaries of the packets after them carry
  // them again, and spandsp always follows the end of a burst with an
  // indicator. Repeating a data packet in the same datagram would only
  // make packet analysers see a reassembled message end twice.
  const bool indicator = (ifp[0] & 0x40) == 0;
  for (int i = 0; i < (indicator ? std::max(count, 1) : 1); ++i)
    send(datagram);
}

void MediaLine::audioIn(const uint8_t* data, size_t len) {
  auto frame = parseRtpAudio(data, len);
  if (!frame)
    return;
  int lost = m_rtpSeq.arrived(frame->seq);
  if (lost < 0)
    return;
  m_rtpLost += lost;
  if (lost > 0)
    m_engine.rxFillin(lost * kFrameSamples);
  m_engine.rx(frame->samples.data(), static_cast<int>(frame->samples.size()));
  if (!m_toneHeard) {
    modem_connect_tones_rx(m_tones, frame->samples.data(), static_cast<int>(frame->samples.size()));
    m_toneHeard = modem_connect_tones_rx_get(m_tones) != MODEM_CONNECT_TONES_NONE;
  }
}

void MediaLine::ifpIn(const uint8_t* ifp, size_t len, uint16_t seq) {
  // Error-corrected page frames reach T.31 as the bit stream its DTE reads.
  const auto bridged = m_ecm.fromLine(ifp, len, seq);
  if (bridged) {
    // Only a DTE that waits for page data (+FRM) can take them.
    if (!m_engine.receivingPageData())
      return;
    ifp = bridged->data();
    len = bridged->size();
  }
#if SPANDSP_RELEASE_DATE < 20121212
  std::vector<uint8_t> copy(ifp, ifp + len);
  if (reverseNonEcmImageData(copy, m_t38Version)) {
    t38_core_rx_ifp_packet(m_engine.t38Core(), copy.data(), static_cast<int>(len), seq);
    return;
  }
#endif
  t38_core_rx_ifp_packet(m_engine.t38Core(), ifp, static_cast<int>(len), seq);
}

void MediaLine::readable() {
  uint8_t buf[2048];
  for (int fd : {m_audioFd, m_imageFd}) {
    for (;;) {
      sockaddr_in from{};
      socklen_t n = sizeof from;
      ssize_t len = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &n);
      if (len < 0)
        break;
      // Late packets of the stream that is no longer in use are dropped.
      if (fd != (m_t38 ? m_imageFd : m_audioFd))
        continue;
      if (!m_latched && m_haveRemote) {
        // Answer where the far end's packets come from: behind a NAT that
        // is not the address its SDP names.
        m_remote = from;
        m_latched = true;
      }
      datagramIn(buf, static_cast<size_t>(len));
    }
  }
}

void MediaLine::datagramIn(const uint8_t* data, size_t len) {
  if (m_t38)
    m_udptlRx.datagram(data, len);
  else
    audioIn(data, len);
}

} // namespace tolvane::sipline
