// The +F command set of the two dialects: parameters, queries and the
// commands that drive a call (D, A, +FDT, +FET, +FDR, +FK / +FKS).

#include "sim/class2/Class2ModemImpl.h"

namespace tolvane::sim {
namespace {

bool isClass2(Class2Dialect d) {
  return d == Class2Dialect::Class2;
}

// Strips one pair of double quotes around a station ID.
std::string unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

} // namespace

const std::map<std::string, std::string>& Class2Modem::Impl::plainDefaults(Class2Dialect d) {
  static const std::map<std::string, std::string> class2{
      {"FCR", "1"},     {"FAA", "0"},   {"FPHCTO", "30"}, {"FTBC", "0"},    {"FECM", "0"},
      {"FMINSP", "0"},  {"FCQ", "0"},   {"FBUG", "0"},    {"FLPL", "0"},    {"FSPL", "0"},
      {"FCIG", "\"\""}, {"FREL", "0"},  {"FBADLIN", "0"}, {"FBADMUL", "0"}, {"FCTCRTY", "0"},
      {"FVRFC", "0"},   {"FWDFC", "0"}, {"FLNFC", "0"},   {"FDFFC", "0"},   {"FRBC", "0"},
      {"FWBC", "0"},    {"FCLASS", "2"}};
  static const std::map<std::string, std::string> class20{
      {"FCR", "1"},    {"FAA", "0"},   {"FCT", "1E"},    {"FLO", "1"}, {"FNR", "0,0,0,0"},
      {"FIE", "0"},    {"FPP", "0"},   {"FSP", "0"},     {"FLP", "0"}, {"FPI", "\"\""},
      {"FMS", "0"},    {"FCQ", "1,0"}, {"FAP", "0,0,0"}, {"FEA", "0"}, {"FND", "0"},
      {"FRQ", "0,0"},  {"FIT", "0,0"}, {"FBU", "0"},     {"FCS", ""},  {"FPA", "\"\""},
      {"FPW", "\"\""}, {"FSA", "\"\""}};
  return isClass2(d) ? class2 : class20;
}

Class2Modem::Result Class2Modem::Impl::command(std::string_view cmd) {
  if (cmd.empty())
    return Result::Ok;
  if (cmd.front() == 'D')
    return dial(cmd.substr(1));
  if (cmd == "A")
    return answer();
  if (cmd == "H" || cmd == "H0") {
    reset();
    return Result::Ok;
  }
  if (cmd.size() < 3 || cmd.substr(0, 2) != "+F")
    return Result::Error;
  size_t end = cmd.find_first_of("=?", 1);
  std::string name(cmd.substr(1, end == cmd.npos ? cmd.npos : end - 1));
  std::string_view rest = end == cmd.npos ? std::string_view() : cmd.substr(end);
  Result r = actionCommand(name, rest);
  if (r != Result::Error || name == "FDT" || name == "FDR" || name == "FET")
    return r;
  return parameter(name, rest);
}

// Commands that act rather than set a value.
Class2Modem::Result Class2Modem::Impl::actionCommand(const std::string& name,
                                                     std::string_view rest) {
  if (name == "FDT" && rest.empty())
    return fdt();
  if (name == "FDR" && rest.empty())
    return fdr();
  if (name == "FET" && rest.size() > 1 && rest[0] == '=')
    return fet(rest.substr(1));
  if ((name == "FK" || name == "FKS") && rest.empty())
    return terminateCommand();
  if (name == "FIP" && !isClass2(m_dialect) && (rest.empty() || rest == "=0")) {
    // T.32: back to the power-on fax parameters
    m_modemCaps = FaxParams{1, m_options.maxBitRate, 0, 2, 0, 0, 0, 0};
    m_session = m_modemCaps;
    m_localId = m_options.localId;
    m_bitOrder = 0;
    m_plain = plainDefaults(m_dialect);
    return Result::Ok;
  }
  bool c2 = isClass2(m_dialect);
  const char* identity = nullptr;
  if (name == (c2 ? "FMFR" : "FMI"))
    identity = "TOLVANE";
  else if (name == (c2 ? "FMDL" : "FMM"))
    identity = c2 ? "SIMULATED CLASS 2 FAX MODEM" : "SIMULATED CLASS 2.0 FAX MODEM";
  else if (name == (c2 ? "FREV" : "FMR"))
    identity = "1.0";
  if (identity && rest == "?") {
    send(identity);
    return Result::Ok;
  }
  return Result::Error;
}

// The eight-value parameter sets: +FDCC / +FDIS / +FDCS (+FCC / +FIS / +FCS).
Class2Modem::Result Class2Modem::Impl::faxParamCommand(FaxParams& params, bool readOnly,
                                                       const std::string& prefix,
                                                       std::string_view rest) {
  FaxParams limits = kFaxParamLimits;
  limits.br = m_options.maxBitRate;
  limits.ec = 1;
  limits.bf = 0;
  if (rest == "?") {
    send(prefix + formatFaxParams(params));
    return Result::Ok;
  }
  if (rest == "=?") {
    send(prefix + formatFaxParamRanges(limits));
    return Result::Ok;
  }
  if (readOnly || rest.size() < 2 || rest[0] != '=')
    return Result::Error;
  auto parsed = parseFaxParams(rest.substr(1), params);
  if (!parsed)
    return Result::Error;
  // Values beyond what the modem does are lowered to its best, as modems do
  // with an over-ambitious DTE.
  parsed->br = std::min(parsed->br, limits.br);
  parsed->ec = std::min(parsed->ec, 1);
  if (parsed->df == 2)
    parsed->df = 1; // no uncompressed mode: two-dimensional coding instead
  parsed->bf = 0;
  params = *parsed;
  return Result::Ok;
}

// A parameter holding one small number: query, range and setting.
Class2Modem::Result Class2Modem::Impl::digitCommand(int& value, char low, char high,
                                                    const std::string& prefix,
                                                    std::string_view rest) {
  if (rest == "?") {
    send(prefix + std::to_string(value));
    return Result::Ok;
  }
  if (rest == "=?") {
    send(prefix + "(" + low + "-" + high + ")");
    return Result::Ok;
  }
  if (rest.size() == 2 && rest[0] == '=' && rest[1] >= low && rest[1] <= high) {
    value = rest[1] - '0';
    return Result::Ok;
  }
  return Result::Error;
}

Class2Modem::Result Class2Modem::Impl::parameter(const std::string& name, std::string_view rest) {
  bool c2 = isClass2(m_dialect);
  std::string prefix = c2 ? "" : "+" + name + ":";
  if (name == (c2 ? "FDCC" : "FCC"))
    return faxParamCommand(m_modemCaps, false, prefix, rest);
  if (name == (c2 ? "FDIS" : "FIS"))
    return faxParamCommand(m_session, false, prefix, rest);
  if (name == (c2 ? "FDCS" : "FCS"))
    return faxParamCommand(m_negotiated, true, prefix, rest);
  if (name == (c2 ? "FBOR" : "FBO"))
    return digitCommand(m_bitOrder, '0', '3', prefix, rest);
  if (name == (c2 ? "FPTS" : "FPS")) {
    // the modem's own copy check decides the page status: a set is accepted
    int wanted = m_lastPageStatus;
    return digitCommand(wanted, '1', '5', prefix, rest);
  }
  if (name == (c2 ? "FLID" : "FLI"))
    return localIdCommand(prefix, rest);
  auto it = m_plain.find(name);
  if (it == m_plain.end())
    return Result::Error;
  if (rest == "?") {
    send(prefix + it->second);
    return Result::Ok;
  }
  if (rest == "=?")
    return Result::Ok;
  if (rest.size() >= 2 && rest[0] == '=' && rest.size() <= 64) {
    it->second = std::string(rest.substr(1));
    return Result::Ok;
  }
  return Result::Error;
}

Class2Modem::Result Class2Modem::Impl::localIdCommand(const std::string& prefix,
                                                      std::string_view rest) {
  if (rest == "?") {
    send(prefix + "\"" + m_localId + "\"");
    return Result::Ok;
  }
  if (rest == "=?") {
    send(prefix + "(20),(32-127)");
    return Result::Ok;
  }
  if (rest.empty() || rest[0] != '=')
    return Result::Error;
  std::string id = unquote(rest.substr(1));
  if (id.size() > 20)
    return Result::Error;
  m_localId = id;
  return Result::Ok;
}

Class2Modem::Result Class2Modem::Impl::dial(std::string_view number) {
  if (m_state != State::Idle)
    return Result::Error;
  std::string digits;
  for (char c : number) {
    if (c == ';')
      break;
    if ((c == 'T' || c == 'P') && digits.empty())
      continue;
    digits += c;
  }
  m_state = State::Dialling;
  m_pending = true;
  if (m_host.dial)
    m_host.dial(digits);
  return Result::Pending;
}

Class2Modem::Result Class2Modem::Impl::answer() {
  if (m_state != State::Idle)
    return Result::Error;
  m_state = State::Answering;
  m_pending = true;
  if (m_host.answer)
    m_host.answer();
  return Result::Pending;
}

Class2Modem::Result Class2Modem::Impl::fdt() {
  if (m_state != State::SendReady || !m_line)
    return Result::Error;
  m_dle.reset();
  m_pending = true;
  m_wholePage.clear();
  m_line->beginStreamedPage();
  if (m_documentStarted) {
    connectForData(); // the engine started the page when the last one was confirmed
    return Result::Pending;
  }
  // The first +FDT lets the engine answer the far end's DIS: DCS, training,
  // and CONNECT once the far end confirms with CFR.
  m_documentStarted = true;
  FaxParams wanted = m_session;
  wanted.br = std::min(wanted.br, m_options.maxBitRate);
  m_negotiated = negotiate(wanted, m_remoteDis);
  m_state = State::SendTraining;
  m_line->setCoding(m_negotiated.df, m_negotiated.ec != 0);
  if (!m_line->startDocument(pageWidthPixels(m_negotiated.wd), m_negotiated.vr == 1))
    endCall(40);
  return Result::Pending;
}

Class2Modem::Result Class2Modem::Impl::fet(std::string_view rest) {
  if (m_state != State::SendPageEnd || rest.size() != 1 || rest[0] < '0' || rest[0] > '2')
    return Result::Error;
  m_pending = true;
  // A new document (EOM) continues the call just as a further page does.
  handOverPage(rest[0] != '2');
  return Result::Pending;
}

Class2Modem::Result Class2Modem::Impl::fdr() {
  switch (m_state) {
  case State::RecvReady:
    if (m_rxPages.empty() && m_endCode) {
      send(hangupLine(*m_endCode));
      reset();
      return Result::Ok;
    }
    if (m_rxPages.empty() && m_lastPpm == 0x2E /* EOP */) {
      m_state = State::RecvLastFdr; // the far end is about to say goodbye
      m_pending = true;
      return Result::Pending;
    }
    result("CONNECT");
    m_state = State::RecvWaitDc2;
    m_pending = true; // the end of the page data has a final result of its own
    return Result::Pending;
  default:
    return Result::Error;
  }
}

Class2Modem::Result Class2Modem::Impl::terminateCommand() {
  if (m_state != State::Idle)
    endCall(2);
  return Result::Ok;
}

void Class2Modem::Impl::reset() {
  ++m_generation;
  setXoff(false);
  if (m_line)
    m_graveyard.push_back(std::move(m_line));
  m_state = State::Idle;
  m_pending = false;
  m_reportedConnect = false;
  m_endCode.reset();
  m_rxPages.clear();
  m_pageData.clear();
  m_paused = false;
  m_heldSamples = 0;
  m_lastPpm = 0;
  m_remoteId.clear();
  m_documentStarted = false;
}

} // namespace tolvane::sim
