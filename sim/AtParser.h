#pragma once
// Splitting of Hayes command lines into single commands, and assembly of
// command lines from the bytes a terminal program writes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::sim {

// One command of a command line. Basic commands keep their letter ("E",
// "&F", "S") and their argument text ("0", "7=1", "0?"); extended commands
// keep the name with its '+' ("+FCLASS") and everything after it up to the
// next ';' ("=?", "=1", "?"). Dialling keeps the rest of the line as "D".
struct AtCommand {
  std::string name;
  std::string arg;
  bool operator==(const AtCommand&) const = default;
};

// Parses the text after "AT" (without the terminating CR). Spaces outside
// quoted strings are ignored and letters outside quotes are upper-cased, as
// modems do. Returns nothing for a line a modem would answer with ERROR.
std::optional<std::vector<AtCommand>> parseAtLine(std::string_view body);

// Collects command lines from the DTE byte stream in command mode: waits for
// "AT" (any case), honours backspace, ends a line at CR, and recognises the
// "A/" repeat of the previous line.
class AtLineAssembler {
public:
  // Feeds one byte; returns the body of a completed command line (the text
  // after "AT"), if this byte completed one.
  std::optional<std::string> feed(uint8_t byte);
  void setLineEnd(uint8_t cr) { m_cr = cr; }
  void setBackspace(uint8_t bs) { m_bs = bs; }
  void clear();

private:
  enum class State { Idle, SawA, InLine };
  State m_state = State::Idle;
  std::string m_line;
  std::string m_previous;
  uint8_t m_cr = '\r';
  uint8_t m_bs = 8;
  static constexpr size_t kMaxLine = 256;
  bool m_overflow = false;
};

} // namespace tolvane::sim
