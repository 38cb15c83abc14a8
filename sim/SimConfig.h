#pragma once
// Configuration of the simulator: modems, numbers on the simulated phone
// network, and calls that remote fax machines place. The same line syntax
// is used in the config file, on the command line and on the control FIFO.

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::sim {

struct ModemModel {
  std::string name = "class120";
  std::set<std::string> classes{"0", "1", "2", "2.0"}; // what it can do
  std::string reported = "0,1,2,2.0";                  // what AT+FCLASS=? says
};

// Looks a model up by name: class1, class12, class120, liar (reports
// classes 1, 2 and 2.0 but can only do class 1). Returns false if unknown.
bool modelByName(std::string_view name, ModemModel& model);

struct ModemConfig {
  std::string name;
  std::string number; // dialling this reaches the modem
  std::string link;   // symlink to the pty slave
  ModemModel model;
  int delayMs = 0;      // every response comes this much line time late
  bool silent = false;  // swallows everything, answers nothing
  std::string garbage;  // a line of this text comes before every response
  double bitErrors = 0; // rate of bit errors in the page data the modem receives (Class 1)
  uint32_t seed = 1;    // of the bit errors
};

enum class NumberKind { Fax, Busy, NoAnswer, Voice, NoDialtone };

struct RemoteFaxConfig {
  std::string ident = "SIMULATED FAX";
  std::string rxDir = "."; // received pages go to <rxDir>/<number>-<n>.tif
  std::string txFile;      // TIFF this machine sends when it calls in
  bool ecm = false;
  // Codings offered beside MH: "mh" none, "mr" T.4 two-dimensional, "mmr"
  // T.6 as well (used with ecm=1).
  std::string coding = "mr";
  double bitErrors = 0;   // rate of bit errors in page data this machine receives
  uint32_t seed = 1;      // of the bit errors
  int maxRate = 14400;    // 14400 (V.17), 9600 (V.29) or 4800 (V.27ter)
  std::set<int> rtnPages; // page receptions (1-based, retries count) answered RTN
  bool rtnAlways = false;
  std::set<int> fttRates; // bit rates at which the training check fails
  std::string dcnAfter;   // answer this received frame (DIS, DCS, CFR, MPS, EOP) with DCN
  double dropAfter = -1;  // hang up this many seconds into the first page
};

struct NumberConfig {
  std::string number;
  NumberKind kind = NumberKind::Fax;
  RemoteFaxConfig fax;
  double ringSeconds = 6; // ringing before the remote answers (or gives up)
};

struct CallInConfig {
  std::string from; // a Fax number with txFile
  std::string to;   // modem name or number
  double at = 0;    // line seconds after start
  double every = 0; // repeat interval, 0 = once
};

struct SimConfig {
  double speed = 1;
  std::vector<ModemConfig> modems;
  std::vector<NumberConfig> numbers;
  std::vector<CallInConfig> calls;
  std::vector<NumberConfig> nextCall; // one-shot behaviour for the next call to a number
};

// Splits a config line into words: blanks separate, double quotes group,
// backslash escapes \\ \" \xNN inside and outside quotes.
std::vector<std::string> splitConfigWords(std::string_view line);

// Applies one line ("modem ...", "number ...", "call ...", "next ...",
// "speed N"; '#' starts a comment). Returns an error text, empty on success.
std::string applyConfigLine(SimConfig& config, std::string_view line);

// Reads a whole config file; returns an error text naming the line.
std::string loadConfigFile(SimConfig& config, const std::string& path);

// Keeps only the dialable characters of a dial string (digits, * and #).
std::string dialledDigits(std::string_view dialString);

} // namespace tolvane::sim
