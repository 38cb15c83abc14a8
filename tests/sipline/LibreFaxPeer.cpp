// An independent far end for the SIP line's tests: a SIP user agent on
// libre (a SIP stack the line does not use) with spandsp's own T.30 fax
// terminal speaking G.711 audio in RTP. It answers a call and receives a
// fax into a TIFF file, or calls and sends one. It refuses T.38 (488), so
// the call stays on audio end to end.
//
//   libre-faxpeer --listen 127.0.0.1:PORT --receive OUT.tif
//   libre-faxpeer --listen 127.0.0.1:PORT --call sip:502@HOST:PORT --send IN.tif

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>

extern "C" {
#include <re.h>
}
#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Peer {
  sip* stack = nullptr;
  sipsess_sock* sock = nullptr;
  sipsess* sess = nullptr;
  sdp_session* sdp = nullptr;
  sdp_media* audio = nullptr;
  struct rtp_sock* rtp = nullptr;
  sa remote{};
  bool haveRemote = false;
  int payload = 0; // 0 PCMU, 8 PCMA
  uint32_t timestamp = 0;
  tmr frameTimer{};
  tmr endTimer{};
  fax_state_t* fax = nullptr;
  bool t38 = false; // offer and use T.38
  sdp_media* image = nullptr;
  udp_sock* udptl = nullptr;
  sa t38Remote{};
  uint16_t t38Seq = 0;
  t38_terminal_state_t* terminal = nullptr;
  bool calling = false;
  std::string file;
  int result = -1;
  int pages = 0;
};

Peer g;

void frame(void*) {
  tmr_start(&g.frameTimer, 20, frame, nullptr);
  if (g.terminal) {
    t38_terminal_send_timeout(g.terminal, 160);
    return;
  }
  if (!g.fax || !g.haveRemote)
    return;
  int16_t amp[160] = {};
  int n = fax_tx(g.fax, amp, 160);
  (void)n;
  mbuf* mb = mbuf_alloc(RTP_HEADER_SIZE + 160);
  mb->pos = mb->end = RTP_HEADER_SIZE;
  for (int16_t a : amp)
    mbuf_write_u8(mb, g.payload == 8 ? linear_to_alaw(a) : linear_to_ulaw(a));
  mb->pos = RTP_HEADER_SIZE;
  rtp_send(g.rtp, &g.remote, false, false, g.payload, g.timestamp, mb);
  g.timestamp += 160;
  mem_deref(mb);
}

void rtpIn(const sa*, const rtp_header*, mbuf* mb, void*) {
  if (!g.fax)
    return;
  int16_t amp[1024];
  size_t n = std::min<size_t>(mbuf_get_left(mb), 1024);
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = mb->buf[mb->pos + i];
    amp[i] = g.payload == 8 ? alaw_to_linear(b) : ulaw_to_linear(b);
  }
  fax_rx(g.fax, amp, static_cast<int>(n));
}

void finish(void*) {
  re_cancel();
}

void phaseE(t30_state_t* s, void*, int result) {
  t30_stats_t stats;
  t30_get_transfer_statistics(s, &stats);
  g.result = result;
  g.pages = g.calling ? stats.pages_tx : stats.pages_rx;
  std::printf("fax ended: %s, pages %d\n", t30_completion_code_to_str(result), g.pages);
  // What spandsp's T.30 agreed on, for the tests to check.
  std::printf("error correction: %s, coding: %s\n", stats.error_correcting_mode ? "on" : "off",
              t4_encoding_to_str(stats.encoding));
  std::fflush(stdout);
  tmr_start(&g.endTimer, 1500, finish, nullptr);
}

// UDPTL (T.38 clause 9.1, aligned PER): sequence number, the IFP packet as
// an open type, and the error-recovery choice "secondary packets" with none.
int udptlOut(t38_core_state_t*, void*, const uint8_t* ifp, int len, int count) {
  mbuf* mb = mbuf_alloc(len + 8);
  mbuf_write_u16(mb, htons(g.t38Seq++));
  if (len < 128) {
    mbuf_write_u8(mb, static_cast<uint8_t>(len));
  } else {
    mbuf_write_u8(mb, static_cast<uint8_t>(0x80 | (len >> 8)));
    mbuf_write_u8(mb, static_cast<uint8_t>(len & 0xFF));
  }
  mbuf_write_mem(mb, ifp, static_cast<size_t>(len));
  mbuf_write_u8(mb, 0x00);
  mbuf_write_u8(mb, 0x00);
  // Repeats (spandsp asks for them for indicators) keep their number: the
  // far end drops all but one.
  for (int i = 0; i < std::max(count, 1); ++i) {
    mb->pos = 0;
    udp_send(g.udptl, &g.t38Remote, mb);
  }
  mem_deref(mb);
  return 0;
}

void udptlIn(const sa*, mbuf* mb, void*) {
  if (!g.terminal || mbuf_get_left(mb) < 3)
    return;
  const uint8_t* p = mbuf_buf(mb);
  const size_t n = mbuf_get_left(mb);
  const uint16_t seq = static_cast<uint16_t>(p[0] << 8 | p[1]);
  size_t at = 2, len = p[at++];
  if (len & 0x80) {
    if (at >= n)
      return;
    len = (len & 0x3F) << 8 | p[at++];
  }
  if (at + len > n)
    return;
  t38_core_rx_ifp_packet(t38_terminal_get_t38_core_state(g.terminal), p + at, static_cast<int>(len),
                         seq);
}

void phaseE(t30_state_t* s, void*, int result);

void startT38() {
  if (g.terminal)
    return;
  g.terminal = t38_terminal_init(nullptr, g.calling, udptlOut, nullptr);
  t38_core_state_t* core = t38_terminal_get_t38_core_state(g.terminal);
  t38_set_t38_version(core, 0);
  t38_set_data_rate_management_method(core, 2); // transferred TCF
  t30_state_t* t30 = t38_terminal_get_t30_state(g.terminal);
  t30_set_tx_ident(t30, "LIBRE T38 PEER");
  t30_set_ecm_capability(t30, true);
  t30_set_supported_compressions(t30, T30_SUPPORT_T4_1D_COMPRESSION |
                                          T30_SUPPORT_T4_2D_COMPRESSION |
                                          T30_SUPPORT_T6_COMPRESSION);
  if (g.calling)
    t30_set_tx_file(t30, g.file.c_str(), -1, -1);
  else
    t30_set_rx_file(t30, g.file.c_str(), -1);
  t30_set_phase_e_handler(t30, phaseE, nullptr);
  std::printf("T.38 terminal started\n");
  std::fflush(stdout);
  tmr_start(&g.frameTimer, 20, frame, nullptr);
}

// The far end's T.38 stream, when its SDP has one.
bool useRemoteT38() {
  if (!g.image || !sdp_media_rport(g.image) || !sa_isset(sdp_media_raddr(g.image), SA_ALL))
    return false;
  g.t38Remote = *sdp_media_raddr(g.image);
  re_printf("T.38 to %J\n", &g.t38Remote);
  return true;
}

void startFax() {
  if (g.fax || g.terminal)
    return;
  g.fax = fax_init(nullptr, g.calling);
  fax_set_transmit_on_idle(g.fax, true);
  t30_state_t* t30 = fax_get_t30_state(g.fax);
  t30_set_tx_ident(t30, "LIBRE PEER");
  t30_set_supported_modems(t30, T30_SUPPORT_V27TER | T30_SUPPORT_V29 | T30_SUPPORT_V17);
  t30_set_supported_compressions(t30, T30_SUPPORT_T4_1D_COMPRESSION |
                                          T30_SUPPORT_T4_2D_COMPRESSION |
                                          T30_SUPPORT_T6_COMPRESSION);
  t30_set_ecm_capability(t30, true);
  if (g.calling)
    t30_set_tx_file(t30, g.file.c_str(), -1, -1);
  else
    t30_set_rx_file(t30, g.file.c_str(), -1);
  t30_set_phase_e_handler(t30, phaseE, nullptr);
  tmr_start(&g.frameTimer, 20, frame, nullptr);
}

// The far end's audio: where to send, and which law.
bool useRemote() {
  const sdp_format* f = sdp_media_rformat(g.audio, nullptr);
  if (!f || !sa_isset(sdp_media_raddr(g.audio), SA_ALL))
    return false;
  g.payload = std::strcmp(f->name, "PCMA") == 0 ? 8 : 0;
  g.remote = *sdp_media_raddr(g.audio);
  g.haveRemote = true;
  re_printf("audio %s to %J\n", f->name, &g.remote);
  return true;
}

int offer(mbuf** descp, const sip_msg* msg, void*) {
  const std::string body(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
  if (!g.t38 && body.find("m=image") != std::string::npos) {
    std::printf("T.38 offered: refused\n");
    return EPROTO; // answered 488
  }
  int err = sdp_decode(g.sdp, msg->mb, true);
  if (!err)
    err = sdp_encode(descp, g.sdp, false);
  if (!err && g.t38 && useRemoteT38())
    startT38();
  else if (!err)
    useRemote();
  return err;
}

int answer(const sip_msg* msg, void*) {
  int err = sdp_decode(g.sdp, msg->mb, false);
  if (!err && g.t38 && useRemoteT38())
    startT38();
  else if (!err && useRemote() && g.calling)
    startFax();
  return err;
}

void established(const sip_msg*, void*) {
  std::printf("call established\n");
  std::fflush(stdout);
  if (g.t38 && !g.calling && !g.terminal) {
    // Answered on audio: this end moves the call to T.38 itself.
    mbuf* desc = nullptr;
    if (!sdp_encode(&desc, g.sdp, true) && !sipsess_modify(g.sess, desc))
      std::printf("re-INVITE to T.38\n");
    mem_deref(desc);
    std::fflush(stdout);
    return;
  }
  if (!g.terminal)
    startFax();
}

void closed(int err, const sip_msg* msg, void*) {
  std::printf("call closed: %s\n", err ? std::strerror(err) : msg ? "BYE" : "");
  std::fflush(stdout);
  g.sess = static_cast<sipsess*>(mem_deref(g.sess));
  if (g.result < 0)
    tmr_start(&g.endTimer, 1500, finish, nullptr);
}

void incoming(const sip_msg* msg, void*) {
  if (g.sess) {
    sip_treply(nullptr, g.stack, msg, 486, "Busy Here");
    return;
  }
  mbuf* desc = nullptr;
  int err = sdp_decode(g.sdp, msg->mb, true);
  if (!err)
    err = sdp_encode(&desc, g.sdp, false);
  if (err || !useRemote()) {
    sip_treply(nullptr, g.stack, msg, 488, "Not Acceptable Here");
    mem_deref(desc);
    return;
  }
  err = sipsess_accept(&g.sess, g.sock, msg, 200, "OK", "peer", "application/sdp", desc, nullptr,
                       nullptr, false, offer, answer, established, nullptr, nullptr, closed,
                       nullptr, nullptr);
  mem_deref(desc);
  std::printf("incoming call answered (%d)\n", err);
  std::fflush(stdout);
}

void exitHandler(void*) {}

} // namespace

int main(int argc, char** argv) {
  std::string listen, call;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--t38") {
      g.t38 = true;
      continue;
    }
    if (i + 1 >= argc)
      break;
    ++i;
    if (a == "--listen")
      listen = argv[i];
    else if (a == "--call")
      call = argv[i];
    else if (a == "--send" || a == "--receive") {
      g.file = argv[i];
      g.calling = a == "--send";
    }
  }
  if (listen.empty() || g.file.empty() || g.calling == call.empty()) {
    std::fprintf(stderr, "usage: libre-faxpeer --listen HOST:PORT (--receive OUT.tif | --call "
                         "URI --send IN.tif)\n");
    return 2;
  }
  libre_init();
  sa laddr{};
  int err = sa_decode(&laddr, listen.c_str(), listen.size());
  err = err ? err : sip_alloc(&g.stack, nullptr, 32, 32, 32, "libre-faxpeer", exitHandler, nullptr);
  err = err ? err : sip_transp_add(g.stack, SIP_TRANSP_UDP, &laddr);
  err = err ? err : sipsess_listen(&g.sock, g.stack, 32, incoming, nullptr);
  sa media = laddr;
  sa_set_port(&media, 0);
  err = err ? err
            : rtp_listen(&g.rtp, IPPROTO_UDP, &media, 10000, 60000, false, rtpIn, nullptr, nullptr);
  err = err ? err : sdp_session_alloc(&g.sdp, &laddr);
  err = err ? err : sdp_media_add(&g.audio, g.sdp, "audio", sa_port(rtp_local(g.rtp)), "RTP/AVP");
  err = err ? err
            : sdp_format_add(nullptr, g.audio, false, "0", "PCMU", 8000, 1, nullptr, nullptr,
                             nullptr, false, nullptr);
  err = err ? err
            : sdp_format_add(nullptr, g.audio, false, "8", "PCMA", 8000, 1, nullptr, nullptr,
                             nullptr, false, nullptr);
  if (!err && g.t38) {
    sa local{};
    err = udp_listen(&g.udptl, &media, udptlIn, nullptr);
    err = err ? err : udp_local_get(g.udptl, &local);
    err = err ? err : sdp_media_add(&g.image, g.sdp, "image", sa_port(&local), "udptl");
    err = err ? err
              : sdp_format_add(nullptr, g.image, false, "t38", nullptr, 0, 0, nullptr, nullptr,
                               nullptr, false, nullptr);
    const char* attributes[][2] = {{"T38FaxVersion", "0"},
                                   {"T38MaxBitRate", "14400"},
                                   {"T38FaxRateManagement", "transferredTCF"},
                                   {"T38FaxMaxBuffer", "2000"},
                                   {"T38FaxMaxDatagram", "400"},
                                   {"T38FaxUdpEC", "t38UDPRedundancy"}};
    for (const auto& [name, value] : attributes)
      err = err ? err : sdp_media_set_lattr(g.image, false, name, "%s", value);
  }
  if (err) {
    std::fprintf(stderr, "libre-faxpeer: cannot start: %s\n", std::strerror(err));
    return 1;
  }
  if (g.calling) {
    mbuf* desc = nullptr;
    err = sdp_encode(&desc, g.sdp, true);
    const std::string from = "sip:peer@" + listen;
    err =
        err ? err
            : sipsess_connect(&g.sess, g.sock, call.c_str(), "peer", from.c_str(), "peer", nullptr,
                              0, "application/sdp", desc, nullptr, nullptr, false, offer, answer,
                              nullptr, established, nullptr, nullptr, closed, nullptr, nullptr);
    mem_deref(desc);
    std::printf("calling %s (%d)\n", call.c_str(), err);
  }
  std::printf("ready\n");
  std::fflush(stdout);
  re_main(nullptr);
  if (g.sess)
    g.sess = static_cast<sipsess*>(mem_deref(g.sess));
  if (g.fax)
    fax_free(g.fax);
  if (g.terminal)
    t38_terminal_free(g.terminal);
  mem_deref(g.udptl);
  mem_deref(g.rtp);
  mem_deref(g.sdp);
  mem_deref(g.sock);
  sip_close(g.stack, true);
  mem_deref(g.stack);
  libre_close();
  return g.result == T30_ERR_OK && g.pages > 0 ? 0 : 1;
}
