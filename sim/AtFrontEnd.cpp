#include "sim/AtFrontEnd.h"

#include "sim/LineParty.h"

#include <algorithm>
#include <cstdio>

namespace tolvane::sim {
namespace {

constexpr size_t kDataChunk = 256; // small enough that T.31 can always take it

void defaultRegisters(std::array<uint8_t, 256>& s) {
  s.fill(0);
  s[2] = '+';
  s[3] = '\r';
  s[4] = '\n';
  s[5] = 8;
  s[6] = 2;
  s[7] = 50;
  s[8] = 2;
  s[9] = 6;
  s[10] = 14;
  s[11] = 95;
  s[12] = 50;
}

bool isOneOf(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

} // namespace

AtFrontEnd::AtFrontEnd(ModemModel model, Output output)
    : m_model(std::move(model)), m_output(std::move(output)) {
  defaultRegisters(m_s);
}

void AtFrontEnd::setEngines(ModemEngine* class1, ModemEngine* class2, ModemEngine* class20) {
  m_class1 = class1;
  m_class2 = class2;
  m_class20 = class20;
}

ModemEngine* AtFrontEnd::engine() const {
  if (m_class == "2")
    return m_class2;
  if (m_class == "2.0")
    return m_class20;
  return m_class1;
}

void AtFrontEnd::dteInput(const uint8_t* data, size_t len) {
  m_pending.append(reinterpret_cast<const char*>(data), len);
  pump();
}

bool AtFrontEnd::pump() {
  size_t i = 0;
  while (i < m_pending.size()) {
    ModemEngine* e = engine();
    if (e && e->inDataMode()) {
      // Feed only what the engine asked for: T.31 overruns its transmit
      // buffer if given more after it has dropped CTS.
      if (!e->readyForData())
        break;
      size_t n = std::min(kDataChunk, m_pending.size() - i);
      dataBytes(reinterpret_cast<const uint8_t*>(m_pending.data() + i), n);
      i += n;
      signalFlow();
    } else {
      commandByte(static_cast<uint8_t>(m_pending[i++]));
    }
  }
  m_pending.erase(0, i);
  signalFlow();
  return !m_pending.empty();
}

void AtFrontEnd::signalFlow() {
  ModemEngine* e = engine();
  bool stop = e && e->inDataMode() && !e->readyForData();
  if (!m_softwareFlow || stop == m_flowStopped)
    return;
  m_flowStopped = stop;
  const uint8_t c = stop ? 0x13 : 0x11; // XOFF, XON
  m_output(&c, 1);
}

void AtFrontEnd::softwareFlowCommand(const AtCommand& cmd) {
  if (cmd.name == "&K")
    m_softwareFlow = cmd.arg == "4";
  else if (cmd.name == "+FLO" && cmd.arg.size() == 2 && cmd.arg[0] == '=')
    m_softwareFlow = cmd.arg[1] == '1';
}

void AtFrontEnd::commandByte(uint8_t byte) {
  if (m_echo)
    m_output(&byte, 1);
  if (auto line = m_lines.feed(byte))
    executeLine(*line);
}

void AtFrontEnd::dataBytes(const uint8_t* data, size_t len) {
  int64_t guard = static_cast<int64_t>(m_s[12]) * kSampleRate / 50;
  bool allEscape = std::all_of(data, data + len, [&](uint8_t b) { return b == m_s[2]; });
  bool quietBefore = m_now - m_lastByteAt >= guard;
  if (allEscape && (m_pluses > 0 || quietBefore) && m_pluses + static_cast<int>(len) <= 3)
    m_pluses += static_cast<int>(len);
  else
    m_pluses = 0;
  m_lastByteAt = m_now;
  engine()->dteData(data, len);
}

void AtFrontEnd::tick(int64_t nowSamples) {
  m_now = nowSamples;
  int64_t guard = static_cast<int64_t>(m_s[12]) * kSampleRate / 50;
  if (m_pluses == 3 && m_now - m_lastByteAt >= guard) {
    m_pluses = 0;
    ModemEngine* e = engine();
    if (e && e->inDataMode() && e->escape())
      result("OK", 0);
  }
}

void AtFrontEnd::ring() {
  ++m_rings;
  m_s[1] = static_cast<uint8_t>(std::min(m_rings, 255));
  result("RING", 2);
  if (ModemEngine* e = engine())
    e->ring();
  if (m_s[0] > 0 && m_rings >= m_s[0] && engine()) {
    m_rings = 0;
    if (engine()->command({"A", ""}) == CommandOutcome::Error)
      result("ERROR", 4);
  }
}

void AtFrontEnd::dteGone() {
  m_pending.clear();
  m_lines.clear();
  m_pluses = 0;
  resetModem();
}

void AtFrontEnd::executeLine(const std::string& body) {
  auto cmds = parseAtLine(body);
  if (!cmds || body == "\x01")
    return result("ERROR", 4);
  for (const AtCommand& cmd : *cmds) {
    switch (execute(cmd)) {
    case CommandOutcome::Ok:
      break;
    case CommandOutcome::Error:
      return result("ERROR", 4);
    case CommandOutcome::Reported:
      return;
    }
  }
  result("OK", 0);
}

int AtFrontEnd::numericArg(const std::string& arg) const {
  if (arg.empty() || arg.size() > 3 || !std::all_of(arg.begin(), arg.end(), ::isdigit))
    return arg.empty() ? 0 : -1;
  return std::stoi(arg);
}

CommandOutcome AtFrontEnd::execute(const AtCommand& cmd) {
  const std::string& n = cmd.name;
  if (n == "E" || n == "Q" || n == "V" || n == "X") {
    int v = numericArg(cmd.arg);
    if (v < 0 || (n != "X" && v > 1) || v > 4)
      return CommandOutcome::Error;
    if (n == "E")
      m_echo = v == 1;
    else if (n == "X")
      m_resultSet = v;
    else {
      (n == "Q" ? m_format.quiet : m_format.verbose) = v == 1;
      for (ModemEngine* e : {m_class1, m_class2, m_class20})
        if (e)
          e->setResultFormat(m_format);
    }
    return CommandOutcome::Ok;
  }
  if (n == "Z" || n == "&F") {
    resetModem();
    return CommandOutcome::Ok;
  }
  if (n == "S")
    return sRegisterCommand(cmd.arg);
  if (n == "I")
    return identify(cmd.arg);
  if (n == "+FCLASS")
    return fclassCommand(cmd.arg);
  softwareFlowCommand(cmd);
  // Speaker, dialling defaults and port options change nothing on a pty.
  if (isOneOf(n, {"L", "M", "B", "C", "N", "W", "Y", "K", "P", "T"}) || n[0] == '&' ||
      n[0] == '\\' || n[0] == '%')
    return CommandOutcome::Ok;
  if (isOneOf(n, {"A", "D", "H", "O"}) || n[0] == '+') {
    ModemEngine* e = engine();
    return e ? e->command(cmd) : CommandOutcome::Error;
  }
  return CommandOutcome::Error;
}

CommandOutcome AtFrontEnd::sRegisterCommand(const std::string& arg) {
  size_t digits = 0;
  while (digits < arg.size() && isdigit(static_cast<unsigned char>(arg[digits])))
    ++digits;
  int reg = numericArg(arg.substr(0, digits));
  if (reg < 0 || reg > 255)
    return CommandOutcome::Error;
  std::string rest = arg.substr(digits);
  if (rest == "?") {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03u", m_s[static_cast<size_t>(reg)]);
    info(buf);
  } else if (!rest.empty() && rest[0] == '=') {
    int v = numericArg(rest.substr(1));
    if (v < 0 || v > 255)
      return CommandOutcome::Error;
    m_s[static_cast<size_t>(reg)] = static_cast<uint8_t>(v);
    if (reg == 3)
      m_lines.setLineEnd(static_cast<uint8_t>(v));
    if (reg == 5)
      m_lines.setBackspace(static_cast<uint8_t>(v));
  }
  return CommandOutcome::Ok;
}

CommandOutcome AtFrontEnd::fclassCommand(const std::string& arg) {
  if (arg == "=?") {
    info(m_model.reported);
    return CommandOutcome::Ok;
  }
  if (arg == "?") {
    info(m_class);
    return CommandOutcome::Ok;
  }
  if (arg.size() < 2 || arg[0] != '=')
    return CommandOutcome::Error;
  std::string want = arg.substr(1);
  ModemEngine* target = want == "2" ? m_class2 : want == "2.0" ? m_class20 : m_class1;
  if (!m_model.classes.count(want) || !target)
    return CommandOutcome::Error;
  if (target != engine() && target != m_class1)
    target->reset();
  m_class = want;
  target->selectClass(want);
  return CommandOutcome::Ok;
}

CommandOutcome AtFrontEnd::identify(const std::string& arg) {
  int n = numericArg(arg);
  if (n < 0 || n > 9)
    return CommandOutcome::Error;
  switch (n) {
  case 0:
    info("14400");
    break;
  case 3:
    info("Tolvane simulated fax modem " + m_model.name);
    break;
  default:
    info(m_model.name);
    break;
  }
  return CommandOutcome::Ok;
}

void AtFrontEnd::resetModem() {
  // Going on hook first lets the engine tell the line the call is over.
  if (ModemEngine* e = engine()) {
    auto saved = m_output;
    m_output = [](const uint8_t*, size_t) {};
    e->command({"H", ""});
    m_output = saved;
  }
  for (ModemEngine* e : {m_class1, m_class2, m_class20})
    if (e)
      e->reset();
  m_class.assign(1, '0');
  m_echo = true;
  m_format = ResultFormat{};
  m_resultSet = 4;
  m_rings = 0;
  m_softwareFlow = false;
  m_flowStopped = false;
  defaultRegisters(m_s);
  m_lines.setLineEnd('\r');
  m_lines.setBackspace(8);
  for (ModemEngine* e : {m_class1, m_class2, m_class20})
    if (e)
      e->setResultFormat(m_format);
}

void AtFrontEnd::result(const char* word, int code) {
  if (m_format.quiet)
    return;
  emit(m_format.verbose ? std::string("\r\n") + word + "\r\n" : std::to_string(code) + "\r");
}

void AtFrontEnd::info(const std::string& text) {
  emit(m_format.verbose ? "\r\n" + text + "\r\n" : text + "\r\n");
}

void AtFrontEnd::emit(const std::string& text) {
  m_output(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

} // namespace tolvane::sim
