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
  bool calling = false;
  std::string file;
  int result = -1;
  int pages = 0;
};

Peer g;

void frame(void*) {
  tmr_start(&g.frameTimer, 20, frame, nullptr);
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
  std::fflush(stdout);
  tmr_start(&g.endTimer, 1500, finish, nullptr);
}

void startFax() {
  if (g.fax)
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
  if (body.find("m=image") != std::string::npos) {
    std::printf("T.38 offered: refused\n");
    return EPROTO; // answered 488
  }
  int err = sdp_decode(g.sdp, msg->mb, true);
  if (!err)
    err = sdp_encode(descp, g.sdp, false);
  if (!err)
    useRemote();
  return err;
}

int answer(const sip_msg* msg, void*) {
  int err = sdp_decode(g.sdp, msg->mb, false);
  if (!err && useRemote())
    startFax();
  return err;
}

void established(const sip_msg*, void*) {
  std::printf("call established\n");
  std::fflush(stdout);
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
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--listen")
      listen = argv[i + 1];
    else if (a == "--call")
      call = argv[i + 1];
    else if (a == "--send" || a == "--receive") {
      g.file = argv[i + 1];
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
  mem_deref(g.rtp);
  mem_deref(g.sdp);
  mem_deref(g.sock);
  sip_close(g.stack, true);
  mem_deref(g.stack);
  libre_close();
  return g.result == T30_ERR_OK && g.pages > 0 ? 0 : 1;
}
