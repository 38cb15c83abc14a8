// tolvane-modemsim: simulated fax modems on pseudo-terminals, joined by a
// simulated phone network to remote fax machines and to each other.

#include "sim/Simulator.h"

#include <csignal>
#include <cstring>
#include <iostream>

using namespace tolvane::sim;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
  g_stop = 1;
}

void usage() {
  std::cout << "usage: tolvane-modemsim [options]\n"
               "  --config FILE      read modems, numbers and calls from FILE\n"
               "  --modem LINE       add a modem: NAME [model=class1|class12|class120|liar]\n"
               "                     [number=N] [link=PATH] [delay=MS] [silent] [garbage=TEXT]\n"
               "                     [bit-errors=RATE] [seed=N]\n"
               "  --link PATH        symlink to the last modem's pty (adds modem com1 if none)\n"
               "  --number LINE      add a number: N fax|busy|no-answer|voice|no-dialtone\n"
               "                     [ident=ID] [dir=DIR] [file=TIFF] [ecm=1] [coding=mh|mr|mmr]\n"
               "                     [max-rate=9600] [bit-errors=RATE] [seed=N]\n"
               "                     [rtn=1,2|all] [ftt=14400,12000] [dcn=DIS|DCS|CFR|MPS|EOP]\n"
               "                     [drop=SECONDS] [ring=SECONDS]\n"
               "  --call LINE        a remote fax machine calls a modem: FROM TO [at=S] [every=S]\n"
               "  --control FIFO     read config lines and \"call FROM TO\" at run time\n"
               "  --speed N          line time runs N times faster than the wall clock\n"
               "See sim/README.md.\n";
}

std::string parseArgs(int argc, char** argv, SimConfig& cfg, std::string& control) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      usage();
      std::exit(0);
    }
    if (i + 1 >= argc)
      return "missing value after " + a;
    std::string v = argv[++i];
    std::string err;
    if (a == "--config")
      err = loadConfigFile(cfg, v);
    else if (a == "--modem")
      err = applyConfigLine(cfg, "modem " + v);
    else if (a == "--number")
      err = applyConfigLine(cfg, "number " + v);
    else if (a == "--call")
      err = applyConfigLine(cfg, "call " + v);
    else if (a == "--speed")
      err = applyConfigLine(cfg, "speed " + v);
    else if (a == "--control")
      control = v;
    else if (a == "--link") {
      if (cfg.modems.empty())
        err = applyConfigLine(cfg, "modem com1");
      cfg.modems.back().link = v;
    } else
      err = "unknown option " + a;
    if (!err.empty())
      return err;
  }
  if (cfg.modems.empty())
    return applyConfigLine(cfg, "modem com1");
  return {};
}

} // namespace

int main(int argc, char** argv) {
  SimConfig cfg;
  std::string control;
  std::string err = parseArgs(argc, argv, cfg, control);
  if (!err.empty()) {
    std::cerr << "tolvane-modemsim: " << err << "\n";
    return 2;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  Simulator sim(cfg, std::cout);
  err = sim.start();
  if (err.empty() && !control.empty())
    err = sim.openControl(control);
  if (!err.empty()) {
    std::cerr << "tolvane-modemsim: " << err << "\n";
    return 1;
  }
  sim.run(&g_stop);
  return 0;
}
