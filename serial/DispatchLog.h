#pragma once
// The dispatch log: records of what the dispatcher did (device reads and
// writes, trigger deliveries, errors, thread starts and exits) in a byte
// budget of LogSize bytes; each record costs a 12-byte header plus its data,
// and the oldest records give way to new ones. Written out as a table.
// Not thread-safe; the port guards it with its lock.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace serial {

enum LogType : uint8_t { ltNoEvent, ltDispatch, ltTrigger, ltError, ltThread };
enum LogSubType : uint8_t {
  lsNone,
  lsReadCom,
  lsWriteCom,
  lsLineStatus,
  lsModemStatus,
  lsAvail,
  lsTimer,
  lsData,
  lsStatus,
  lsStart,
  lsExit,
  lsSleep,
  lsWake,
  lsNote // a text from the port's user (a fax machine's state)
};

struct LogRecord {
  uint8_t type = 0;
  uint8_t subType = 0;
  uint32_t timeMs = 0;
  uint16_t data = 0;
  std::vector<uint8_t> bytes;
};

constexpr size_t kLogHeaderSize = 12;

class DispatchLog {
public:
  explicit DispatchLog(int bytes);

  void add(uint8_t type, uint8_t subType, uint32_t timeMs, uint16_t data,
           const uint8_t* bytes = nullptr, size_t length = 0);
  void clear();
  bool empty() const { return m_records.empty(); }
  const std::deque<LogRecord>& records() const { return m_records; }

  std::string text(bool hex) const;

private:
  size_t m_capacity;
  size_t m_used = 0;
  std::deque<LogRecord> m_records;
};

// Log text of a list of records: the two header lines and one entry each.
std::string logText(const std::deque<LogRecord>& records, bool hex);

} // namespace serial
