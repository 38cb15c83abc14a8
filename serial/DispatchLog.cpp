#include "serial/DispatchLog.h"

#include "serial/TraceText.h"

#include <algorithm>
#include <cstdio>

namespace serial {

namespace {

const char* const kTypeNames[] = {"no event", "dispatch", "trigger", "error", "thread"};
const char* const kSubTypeNames[] = {"",      "readcom", "writecom", "line status", "modem status",
                                     "avail", "timer",   "data",     "status",      "start",
                                     "exit",  "sleep",   "wake",     "note"};
const char* const kModemBitNames[] = {"DCTS ", "DDSR ", "TERI ", "DDCD ",
                                      "CTS ",  "DSR ",  "RI ",   "DCD "};

constexpr int kDataColumn = 40; // columns before the first data byte

std::string padded(const char* name, size_t width) {
  std::string s(name);
  if (s.size() < width)
    s.append(width - s.size(), ' ');
  return s;
}

std::string typeName(uint8_t type) {
  return type < std::size(kTypeNames) ? kTypeNames[type] : std::to_string(type);
}

std::string subTypeName(uint8_t subType) {
  return subType < std::size(kSubTypeNames) ? kSubTypeNames[subType] : std::to_string(subType);
}

void appendRecord(std::string& out, const LogRecord& r, bool hex) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%08u  %s  %s  %04X  ", r.timeMs % 100000000u,
                padded(typeName(r.type).c_str(), 8).c_str(),
                padded(subTypeName(r.subType).c_str(), 12).c_str(), r.data);
  out += prefix;
  WrappedLine line(out, kDataColumn, kDataColumn);
  for (uint8_t b : r.bytes)
    line.add(b, hex);
  out.push_back('\n');
  if (r.subType == lsModemStatus) {
    out.push_back('(');
    for (int bit = 0; bit < 8; ++bit)
      if (r.data & (1u << bit))
        out += kModemBitNames[bit];
    out.push_back('\n');
  }
}

} // namespace

DispatchLog::DispatchLog(int bytes)
    : m_capacity(std::max<size_t>(static_cast<size_t>(std::max(bytes, 0)), kLogHeaderSize)) {}

void DispatchLog::add(uint8_t type, uint8_t subType, uint32_t timeMs, uint16_t data,
                      const uint8_t* bytes, size_t length) {
  // A record never holds more data than the whole log can.
  length = std::min(length, m_capacity - kLogHeaderSize);
  const size_t cost = kLogHeaderSize + length;
  while (!m_records.empty() && m_used + cost > m_capacity) {
    m_used -= kLogHeaderSize + m_records.front().bytes.size();
    m_records.pop_front();
  }
  LogRecord r{type, subType, timeMs, data, {}};
  if (length)
    r.bytes.assign(bytes, bytes + length);
  m_records.push_back(std::move(r));
  m_used += cost;
}

void DispatchLog::clear() {
  m_records.clear();
  m_used = 0;
}

std::string DispatchLog::text(bool hex) const {
  return logText(m_records, hex);
}

std::string logText(const std::deque<LogRecord>& records, bool hex) {
  std::string out = "Time      Type      SubType       Data  OtherData\n"
                    "----      ----      -------       ----  ---------\n";
  for (const LogRecord& r : records)
    appendRecord(out, r, hex);
  return out;
}

} // namespace serial
