// tolvane-sipmodem: a Class 1 fax modem on a pseudo-terminal whose line is a
// SIP call, carried as T.38 or as G.711 audio.

#include "sipline/SipModem.h"

#include <sofia-sip/su.h>

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
               "  --listen HOST:PORT   local SIP address (default 127.0.0.1:5060)\n"
               "  --peer HOST[:PORT]   dial numbers there directly (no registrar)\n"
               "  --registrar HOST[:PORT]  register there and dial NUMBER@domain\n"
               "  --domain DOMAIN      the account's domain (default: the registrar)\n"
               "  --user NAME          the account's user name\n"
               "  --no-t38             audio only: no T.38 offers, T.38 offers refused\n"
               "  --pcmu               prefer mu-law (default A-law)\n"
               "The password is read from the environment variable TOLVANE_SIP_PASSWORD.\n";
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
    else
      return "unknown option " + a;
  }
  if (!s.sip.registrar.empty() && s.sip.user.empty())
    return "--registrar needs --user";
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
