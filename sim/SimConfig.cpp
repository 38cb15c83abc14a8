#include "sim/SimConfig.h"

#include <charconv>
#include <fstream>
#include <map>

namespace tolvane::sim {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool toDouble(const std::string& s, double& out) {
  try {
    size_t used = 0;
    out = std::stod(s, &used);
    return used == s.size() && out >= 0;
  } catch (...) {
    return false;
  }
}

bool toInt(const std::string& s, int& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool toIntSet(const std::string& s, std::set<int>& out) {
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    std::string part =
        s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    int v = 0;
    if (!toInt(part, v))
      return false;
    out.insert(v);
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
  return true;
}

// key=value pairs after the positional words; a word without '=' is a flag.
std::map<std::string, std::string> options(const std::vector<std::string>& words, size_t from) {
  std::map<std::string, std::string> out;
  for (size_t i = from; i < words.size(); ++i) {
    size_t eq = words[i].find('=');
    if (eq == std::string::npos)
      out[words[i]] = "";
    else
      out[words[i].substr(0, eq)] = words[i].substr(eq + 1);
  }
  return out;
}

std::string applyFaxOption(RemoteFaxConfig& f, const std::string& k, const std::string& v);

std::string applyModem(SimConfig& cfg, const std::vector<std::string>& w) {
  if (w.size() < 2)
    return "modem needs a name";
  ModemConfig m;
  m.name = w[1];
  for (auto& [k, v] : options(w, 2)) {
    if (k == "model") {
      if (!modelByName(v, m.model))
        return "unknown model " + v;
    } else if (k == "reports") {
      m.model.reported = v;
    } else if (k == "number") {
      m.number = dialledDigits(v);
    } else if (k == "link") {
      m.link = v;
    } else if (k == "delay") {
      if (!toInt(v, m.delayMs) || m.delayMs < 0)
        return "bad delay " + v;
    } else if (k == "bit-errors" || k == "seed") {
      RemoteFaxConfig noise;
      if (std::string err = applyFaxOption(noise, k, v); !err.empty())
        return err;
      m.bitErrors = k == "bit-errors" ? noise.bitErrors : m.bitErrors;
      m.seed = k == "seed" ? noise.seed : m.seed;
    } else if (k == "silent") {
      m.silent = true;
    } else if (k == "garbage") {
      m.garbage = v.empty() ? std::string("\x01\xfe#GARBLED 42") : v;
    } else {
      return "unknown modem option " + k;
    }
  }
  cfg.modems.push_back(m);
  return {};
}

std::string applyFaxOption(RemoteFaxConfig& f, const std::string& k, const std::string& v) {
  if (k == "ident") {
    f.ident = v;
  } else if (k == "dir") {
    f.rxDir = v;
  } else if (k == "file") {
    f.txFile = v;
  } else if (k == "ecm") {
    f.ecm = v != "0";
  } else if (k == "coding") {
    if (v != "mh" && v != "mr" && v != "mmr")
      return "coding must be mh, mr or mmr";
    f.coding = v;
  } else if (k == "bit-errors") {
    if (!toDouble(v, f.bitErrors) || f.bitErrors < 0 || f.bitErrors > 0.1)
      return "bit-errors must be a rate from 0 to 0.1";
  } else if (k == "seed") {
    int seed = 0;
    if (!toInt(v, seed) || seed < 0)
      return "bad seed " + v;
    f.seed = static_cast<uint32_t>(seed);
  } else if (k == "max-rate") {
    if (!toInt(v, f.maxRate) || (f.maxRate != 14400 && f.maxRate != 9600 && f.maxRate != 4800))
      return "max-rate must be 14400, 9600 or 4800";
  } else if (k == "rtn") {
    if (v == "all")
      f.rtnAlways = true;
    else if (!toIntSet(v, f.rtnPages))
      return "bad rtn list " + v;
  } else if (k == "ftt") {
    if (!toIntSet(v, f.fttRates))
      return "bad ftt list " + v;
  } else if (k == "dcn") {
    static const std::set<std::string> frames{"DIS", "DCS", "CFR", "MPS", "EOP"};
    if (!frames.count(v))
      return "dcn must name DIS, DCS, CFR, MPS or EOP";
    f.dcnAfter = v;
  } else if (k == "drop") {
    if (!toDouble(v, f.dropAfter))
      return "bad drop time " + v;
  } else {
    return "unknown number option " + k;
  }
  return {};
}

std::string parseNumber(const std::vector<std::string>& w, NumberConfig& n) {
  if (w.size() < 3)
    return "number needs a number and a kind";
  n.number = dialledDigits(w[1]);
  static const std::map<std::string, NumberKind> kinds{{"fax", NumberKind::Fax},
                                                       {"busy", NumberKind::Busy},
                                                       {"no-answer", NumberKind::NoAnswer},
                                                       {"voice", NumberKind::Voice},
                                                       {"no-dialtone", NumberKind::NoDialtone}};
  auto kind = kinds.find(w[2]);
  if (kind == kinds.end())
    return "unknown number kind " + w[2];
  n.kind = kind->second;
  for (auto& [k, v] : options(w, 3)) {
    if (k == "ring") {
      if (!toDouble(v, n.ringSeconds))
        return "bad ring time " + v;
      continue;
    }
    std::string err = applyFaxOption(n.fax, k, v);
    if (!err.empty())
      return err;
  }
  return {};
}

std::string applyCall(SimConfig& cfg, const std::vector<std::string>& w) {
  if (w.size() < 3)
    return "call needs the calling number and the modem";
  CallInConfig c{dialledDigits(w[1]), w[2]};
  for (auto& [k, v] : options(w, 3)) {
    double* target = k == "at" ? &c.at : k == "every" ? &c.every : nullptr;
    if (!target)
      return "unknown call option " + k;
    if (!toDouble(v, *target))
      return "bad time " + v;
  }
  cfg.calls.push_back(c);
  return {};
}

} // namespace

bool modelByName(std::string_view name, ModemModel& model) {
  if (name == "class1")
    model = {"class1", {"0", "1"}, "0,1"};
  else if (name == "class12")
    model = {"class12", {"0", "1", "2"}, "0,1,2"};
  else if (name == "class120")
    model = {"class120", {"0", "1", "2", "2.0"}, "0,1,2,2.0"};
  else if (name == "liar")
    model = {"liar", {"0", "1"}, "0,1,2,2.0"};
  else
    return false;
  return true;
}

std::vector<std::string> splitConfigWords(std::string_view line) {
  std::vector<std::string> words;
  std::string cur;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      char n = line[i + 1];
      if (n == 'x' && i + 3 < line.size() && hexValue(line[i + 2]) >= 0 &&
          hexValue(line[i + 3]) >= 0) {
        cur.push_back(static_cast<char>(hexValue(line[i + 2]) * 16 + hexValue(line[i + 3])));
        i += 3;
      } else {
        cur.push_back(n);
        ++i;
      }
      inWord = true;
    } else if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (inWord)
        words.push_back(cur);
      cur.clear();
      inWord = false;
    } else if (!quoted && c == '#' && !inWord) {
      break;
    } else {
      cur.push_back(c);
      inWord = true;
    }
  }
  if (inWord)
    words.push_back(cur);
  return words;
}

std::string applyConfigLine(SimConfig& cfg, std::string_view line) {
  auto w = splitConfigWords(line);
  if (w.empty())
    return {};
  if (w[0] == "modem")
    return applyModem(cfg, w);
  if (w[0] == "call")
    return applyCall(cfg, w);
  if (w[0] == "number" || w[0] == "next") {
    NumberConfig n;
    std::string err = parseNumber(w, n);
    if (err.empty())
      (w[0] == "number" ? cfg.numbers : cfg.nextCall).push_back(n);
    return err;
  }
  if (w[0] == "speed") {
    if (w.size() != 2 || !toDouble(w[1], cfg.speed) || cfg.speed < 0.1 || cfg.speed > 64)
      return "speed must be a number from 0.1 to 64";
    return {};
  }
  return "unknown keyword " + w[0];
}

std::string loadConfigFile(SimConfig& cfg, const std::string& path) {
  std::ifstream in(path);
  if (!in)
    return "cannot read " + path;
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    std::string err = applyConfigLine(cfg, line);
    if (!err.empty())
      return path + ":" + std::to_string(n) + ": " + err;
  }
  return {};
}

std::string dialledDigits(std::string_view dialString) {
  std::string out;
  for (char c : dialString)
    if ((c >= '0' && c <= '9') || c == '*' || c == '#')
      out.push_back(c);
  return out;
}

} // namespace tolvane::sim
