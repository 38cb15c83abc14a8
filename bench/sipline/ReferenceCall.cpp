#include "ReferenceCall.h"

#include "sipline/RtpAudio.h"
#include "sipline/Udptl.h"

#include <spandsp.h>

#include <arpa/inet.h>
#include <chrono>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tolvane::sipline;

namespace {

double threadCpu() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One fax terminal with its UDP socket.
struct Terminal {
  bool t38;
  int fd = -1;
  int port = 0;
  int peerPort = 0;
  t38_terminal_state_t* t38Terminal = nullptr;
  fax_state_t* audio = nullptr;
  UdptlSender udptlTx{3, 400};
  UdptlReceiver udptlRx;
  RtpAudioSender rtpTx{kPayloadPcma, 0x1234};
  bool ended = false;
  int completion = -1;

  Terminal(bool useT38, bool calling)
      : t38(useT38), udptlRx([this](const uint8_t* ifp, size_t len, uint16_t seq) {
          t38_core_rx_ifp_packet(t38_terminal_get_t38_core_state(t38Terminal), ifp,
                                 static_cast<int>(len), seq);
        }) {
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    port = ntohs(a.sin_port);
    if (t38)
      t38Terminal = t38_terminal_init(nullptr, calling, &Terminal::ifpOut, this);
    else
      audio = fax_init(nullptr, calling);
    t30_state_t* t30 = this->t30();
    t30_set_ecm_capability(t30, false);
    t30_set_phase_e_handler(t30, &Terminal::phaseE, this);
  }
  ~Terminal() {
    if (t38Terminal)
      t38_terminal_free(t38Terminal);
    if (audio)
      fax_free(audio);
    close(fd);
  }
  t30_state_t* t30() {
    return t38 ? t38_terminal_get_t30_state(t38Terminal) : fax_get_t30_state(audio);
  }
  void send(const std::vector<uint8_t>& datagram) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(peerPort));
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  static int ifpOut(t38_core_state_t*, void* user, const uint8_t* buf, int len, int count) {
    auto* self = static_cast<Terminal*>(user);
    std::vector<uint8_t> d = self->udptlTx.next(buf, static_cast<size_t>(len));
    const bool indicator = (buf[0] & 0x40) == 0; // sent as the SIP line sends them
    for (int i = 0; i < (indicator ? std::max(count, 1) : 1); ++i)
      self->send(d);
    return 0;
  }
  static void phaseE(t30_state_t*, void* user, int completion) {
    auto* self = static_cast<Terminal*>(user);
    self->ended = true;
    self->completion = completion;
  }
  void tick() {
    if (t38) {
      t38_terminal_send_timeout(t38Terminal, kFrameSamples);
      return;
    }
    int16_t amp[kFrameSamples] = {};
    fax_tx(audio, amp, kFrameSamples);
    send(rtpTx.next(amp));
  }
  void receive() {
    uint8_t buf[2048];
    ssize_t len;
    while ((len = recv(fd, buf, sizeof buf, 0)) > 0) {
      if (t38) {
        udptlRx.datagram(buf, static_cast<size_t>(len));
      } else if (auto f = parseRtpAudio(buf, static_cast<size_t>(len))) {
        fax_rx(audio, f->samples.data(), static_cast<int>(f->samples.size()));
      }
    }
  }
};

} // namespace

ReferenceResult spandspReferenceCall(const std::string& txTiff, const std::string& rxTiff,
                                     bool t38) {
  Terminal sender(t38, true), receiver(t38, false);
  sender.peerPort = receiver.port;
  receiver.peerPort = sender.port;
  t30_set_tx_file(sender.t30(), txTiff.c_str(), -1, -1);
  t30_set_rx_file(receiver.t30(), rxTiff.c_str(), -1);
  t30_set_tx_ident(sender.t30(), "REFERENCE TX");
  t30_set_tx_ident(receiver.t30(), "REFERENCE RX");
  ReferenceResult r;
  const double cpu0 = threadCpu();
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  while (!(sender.ended && receiver.ended) &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(120)) {
    next += std::chrono::milliseconds(20);
    sender.tick();
    receiver.tick();
    while (std::chrono::steady_clock::now() < next) {
      pollfd fds[2] = {{sender.fd, POLLIN, 0}, {receiver.fd, POLLIN, 0}};
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          next - std::chrono::steady_clock::now());
      poll(fds, 2, static_cast<int>(std::max<int64_t>(left.count(), 0)));
      sender.receive();
      receiver.receive();
    }
    if (sender.ended && r.seconds == 0)
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  r.cpuSeconds = threadCpu() - cpu0;
  r.ok = sender.ended && receiver.ended && sender.completion == T30_ERR_OK &&
         receiver.completion == T30_ERR_OK;
  return r;
}
