// tolvane-sipmodem: a Class 1 fax modem on a pseudo-terminal whose line is a
// SIP call, carried as T.38 or as G.711 audio.

#include "sipline/SipModem.h"

#include <sofia-sip/su.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

using namespace tolvane::sipline;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
  g_stop = 1;
}

void usage() {
  std::cout << "usage: tolvane-sipmodem [options]\n"
               "  --link PATH          symlink to the modem's pseudo-terminal\n"
               "  --listen HOST:PORT   local SIP address (default: this machine's address\n"
               "                       towards the registrar or peer, port 5060)\n"
               "  --peer HOST[:PORT]   dial numbers there directly (no registrar)\n"
               "  --registrar HOST[:PORT]  register there and dial NUMBER@domain\n"
               "  --domain DOMAIN      the account's domain (default: the registrar)\n"
               "  --user NAME          the account's user name\n"
               "  --no-t38             audio only: no T.38 offers, T.38 offers refused\n"
               "  --pcmu               prefer mu-law (default A-law)\n"
               "  --no-t38-ecm         keep error correction (and T.6) off on T.38 calls\n"
               "  --register-seconds N registration lifetime asked for (default 300)\n"
               "  --refresh-every N    session refresh re-INVITEs every N s in a call\n"
               "The password is read from the environment variable TOLVANE_SIP_PASSWORD.\n";
}

// The address this machine sends from to reach host[:port]: what the far
// end must see in our Contact and SDP.
std::string localAddressTowards(const std::string& hostPort) {
  const size_t colon = hostPort.rfind(':');
  const std::string host = hostPort.substr(0, colon);
  const std::string port = colon == std::string::npos ? "5060" : hostPort.substr(colon + 1);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    return {};
  std::string local;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in me{};
  socklen_t len = sizeof me;
  char text[INET_ADDRSTRLEN] = {};
  if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&me), &len) == 0 &&
      inet_ntop(AF_INET, &me.sin_addr, text, sizeof text))
    local = text;
  if (fd >= 0)
    close(fd);
  freeaddrinfo(found);
  return local;
}

std::string parseArgs(int argc, char** argv, LineSettings& s) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      usage();
      std::exit(0);
    }
    if (a == "--no-t38") {
      s.t38 = false;
      continue;
    }
    if (a == "--no-t38-ecm") {
      s.t38Ecm = false;
      continue;
    }
    if (a == "--pcmu") {
      s.audioPayload = kPayloadPcmu;
      continue;
    }
    if (i + 1 >= argc)
      return "missing value after " + a;
    std::string v = argv[++i];
    if (a == "--link")
      s.link = v;
    else if (a == "--listen")
      s.sip.listen = v;
    else if (a == "--peer")
      s.sip.peer = v;
    else if (a == "--registrar")
      s.sip.registrar = v;
    else if (a == "--domain")
      s.sip.domain = v;
    else if (a == "--user")
      s.sip.user = v;
    else if (a == "--register-seconds" || a == "--refresh-every") {
      char* end = nullptr;
      long n = std::strtol(v.c_str(), &end, 10);
      if (*end || n < 1 || n > 86400)
        return "bad number of seconds after " + a;
      (a == "--refresh-every" ? s.refreshSeconds : s.sip.registerSeconds) = static_cast<int>(n);
    } else
      return "unknown option " + a;
  }
  if (!s.sip.registrar.empty() && s.sip.user.empty())
    return "--registrar needs --user";
  if (s.sip.listen.empty()) {
    std::string towards = s.sip.registrar.empty() ? s.sip.peer : s.sip.registrar;
    std::string local = towards.empty() ? "127.0.0.1" : localAddressTowards(towards);
    if (local.empty())
      return "cannot tell this machine's address towards " + towards + ": give --listen";
    s.sip.listen = local + ":5060";
  }
  if (const char* pw = std::getenv("TOLVANE_SIP_PASSWORD"))
    s.sip.password = pw;
  return {};
}

} // namespace

int main(int argc, char** argv) {
  LineSettings settings;
  std::string err = parseArgs(argc, argv, settings);
  if (!err.empty()) {
    std::cerr << "tolvane-sipmodem: " << err << "\n";
    return 2;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  su_init();
  int status = 0;
  try {
    SipModem modem(settings, std::cout);
    modem.run(&g_stop);
  } catch (const std::exception& e) {
    std::cerr << "tolvane-sipmodem: " << e.what() << "\n";
    status = 1;
  }
  su_deinit();
  return status;
}
